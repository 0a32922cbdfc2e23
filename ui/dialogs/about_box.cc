#include "ui/dialogs/about_box.h"

#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/build_facts.h"
#include "ui/common/look.h"

namespace tallyrun::ui {
namespace {

constexpr QChar kCr = QLatin1Char('\r');

const QString kCredits = QStringLiteral(
    "【クレジット】\r\n"
    "企画・設計・プログラム：開発チーム\r\n"
    "試用と助言：日々ログを取ってくださった皆さん\r\n"
    "画面の文字：システムのゴシック体\r\n"
    "ご意見やご感想をお待ちしています。\r\n");

// A frame as drawn around grouped controls: an etched line, no caption.
QFrame* MakeFrame(QWidget* parent, const QString& name, const QRect& where) {
  auto* frame = new QFrame(parent);
  frame->setObjectName(name);
  frame->setGeometry(where);
  frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
  return frame;
}

}  // namespace

Form3::Form3(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("バージョン情報"));
  setFont(GothicFont());
  setFixedSize(TwipsSize(4575, 4050));

  QFrame* frame1 = MakeFrame(this, QStringLiteral("Frame1"), TwipsRect(240, 420, 4095, 1995));

  Label1_ = new QLabel(QStringLiteral("Tallyrun.exe　") + QString::fromLatin1(kVersionLine), this);
  Label1_->setObjectName(QStringLiteral("Label1"));
  Label1_->setGeometry(TwipsRect(120, 120, 4335, 255));
  Label1_->setTextFormat(Qt::PlainText);
  Label1_->setAccessibleName(Label1_->text());

  Command1_ = new QPushButton(QStringLiteral("戻る"), frame1);
  Command1_->setObjectName(QStringLiteral("Command1"));
  Command1_->setGeometry(TwipsRect(300, 1560, 3495, 315));
  Command1_->setFont(ProportionalGothicFont());
  Command1_->setDefault(true);
  Command1_->setAccessibleName(Command1_->text());

  Label4_ = new QLabel(frame1);
  Label4_->setObjectName(QStringLiteral("Label4"));
  Label4_->setGeometry(TwipsRect(180, 240, 3735, 1215));
  Label4_->setTextFormat(Qt::PlainText);
  Label4_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label4_->setWordWrap(true);

  QFrame* frame2 = MakeFrame(this, QStringLiteral("Frame2"), TwipsRect(120, 2460, 4335, 1515));

  text1Text_ = kCredits;
  Text1_ = new QPlainTextEdit(frame2);
  Text1_->setObjectName(QStringLiteral("Text1"));
  Text1_->setGeometry(TwipsRect(120, 180, 4095, 1215));
  Text1_->setFont(ProportionalGothicFont());
  Text1_->setPlainText(ShownLines(text1Text_));
  Text1_->setReadOnly(true);
  Text1_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Text1_->setTabChangesFocus(true);
  QPalette buttonFace = Text1_->palette();
  buttonFace.setColor(QPalette::Base, buttonFace.color(QPalette::Button));
  Text1_->setPalette(buttonFace);
  Text1_->setAccessibleName(QStringLiteral("クレジット"));

  setTabOrder(Command1_, Text1_);
  connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });

  Form_Load();
  Command1_->setFocus();
}

void Form3::Form_Load() {
  SetLabel4Caption(QStringLiteral("このプログラムは。") + kCr + kCr);
  SetLabel4Caption(
      Label4Caption() +
      QStringLiteral("　ファイルやフォルダのログを取得するためのものです。"
                     "そのファイルやフォルダをウィンドウで表示させることが出来ます。") +
      kCr);
  SetLabel4Caption(Label4Caption() + QStringLiteral("　詳しくは「読んで☆.txt」をご覧下さい。"));
}

void Form3::Command1_Click() { close(); }

void Form3::SetLabel4Caption(const QString& caption) {
  label4Caption_ = caption;
  Label4_->setText(ShownLines(caption));
  Label4_->setAccessibleName(Label4_->text());
}

}  // namespace tallyrun::ui
