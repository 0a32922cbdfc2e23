#include "ui/dialogs/about_box.h"

#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include "core/build_facts.h"
#include "ui/common/controls.h"
#include "ui/common/look.h"
#include "ui/decide/texts.h"

namespace tallyrun::ui {
namespace {

constexpr QChar kCr = QLatin1Char('\r');

}  // namespace

Form3::Form3(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(text::kForm3Title);
  setFont(GothicFont());
  setFixedSize(TwipsSize(4575, 4050));
  BuildControls();
  SetTabOrder({Command1_, Text1_});
  connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
  Form_Load();
  Command1_->setFocus();
}

void Form3::BuildControls() {
  auto* frame1 = Place<QFrame>(this, "Frame1", {240, 420, 4095, 1995});
  Label1_ = Place<Caption>(this, "Label1", {120, 120, 4335, 255},
                           QString(text::kProgramFileName) + QString::fromLatin1(kVersionLine));
  Command1_ = Place<QPushButton>(frame1, "Command1", {300, 1560, 3495, 315}, text::kForm3Command1,
                                 ProportionalGothicFont());
  Command1_->setDefault(true);
  Label4_ = Place<Caption>(frame1, "Label4", {180, 240, 3735, 1215});
  auto* frame2 = Place<QFrame>(this, "Frame2", {120, 2460, 4335, 1515});
  // Frames as drawn around grouped controls: an etched line, no caption.
  for (QFrame* frame : {frame1, frame2}) frame->setFrameStyle(QFrame::Box | QFrame::Sunken);

  Text1_ =
      Place<QPlainTextEdit>(frame2, "Text1", {120, 180, 4095, 1215}, {}, ProportionalGothicFont());
  Text1_->document()->setDocumentMargin(2);
  // Without its last line end, which would show as an empty line to scroll to.
  Text1_->setPlainText(ShownLines(text::kCredits).chopped(1));
  Text1_->setReadOnly(true);
  Text1_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Text1_->setTabChangesFocus(true);
  QPalette button_face = Text1_->palette();
  button_face.setColor(QPalette::Base, button_face.color(QPalette::Button));
  Text1_->setPalette(button_face);
  Text1_->setAccessibleName(QStringLiteral("クレジット"));
  FitCaptions(this);
}

void Form3::Form_Load() {
  SetLabel4Caption(text::kDescriptionFirst + QString(kCr) + kCr);
  SetLabel4Caption(Label4Caption() + text::kDescriptionSecond + kCr);
  SetLabel4Caption(Label4Caption() + text::kDescriptionThird);
}

void Form3::Command1_Click() { close(); }

void Form3::SetLabel4Caption(const QString& caption) {
  label4_caption_ = caption;
  SetCaption(Label4_, caption);
}

}  // namespace tallyrun::ui
