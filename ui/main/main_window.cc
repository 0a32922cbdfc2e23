#include "ui/main/main_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSysInfo>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/date_time_text.h"
#include "core/log_reader.h"
#include "core/log_record.h"
#include "ui/common/list_keys.h"
#include "ui/common/look.h"
#include "ui/common/message_box.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/log_file_chooser.h"
#include "ui/main/dropped_items.h"
#include "ui/main/log_list_model.h"
#include "ui/main/open_entry.h"

namespace tallyrun::ui {
namespace {

const QString kUriList = QStringLiteral("text/uri-list");
// What GNOME's file managers put on the clipboard: "copy" or "cut", then URIs.
const QString kCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
const QString kDropTitle = QStringLiteral("ログ書き込み中断");
constexpr int kKeyAsciiEnter = 13;
constexpr std::size_t kNamesShownAtMost = 10;

class BusyCursor {
 public:
  BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

template <typename Control>
Control* Placed(Control* control, const char* name, const QRect& where) {
  control->setObjectName(QLatin1String(name));
  control->setGeometry(where);
  return control;
}

// Centred vertically: where the face's line is taller than the label (the
// layout was made for ＭＳ ゴシック), this keeps its glyphs whole.
QLabel* Caption(QLabel* label, const QString& text) {
  label->setText(text);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setAccessibleName(text);
  return label;
}

QPushButton* Button(QPushButton* button, const QString& caption) {
  button->setText(caption);
  button->setAccessibleName(caption);
  button->setAutoDefault(true);  // Enter presses the focused button, as Space does
  return button;
}

QFrame* Container(QFrame* frame) {
  frame->setFrameShape(QFrame::NoFrame);
  return frame;
}

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Toolkits that hold names as Unicode send bytes that are not UTF-8 as
// U+FFFD; such a name points nowhere, and recording it would log a wrong path.
bool LostOnTheWay(const std::string& path, Env& env) {
  return path.find("\xEF\xBF\xBD") != std::string::npos && !env.FactsOf(path);
}

QString RefusalText(const std::vector<std::string>& refused) {
  QString text = QStringLiteral(
      "次の項目は名前にタブや改行、または扱えない文字を含むため、記録しませんでした。");
  for (std::size_t i = 0; i < refused.size() && i < kNamesShownAtMost; ++i) {
    text += QLatin1Char('\n') + WithVisibleControls(FromBytes(refused[i]));
  }
  if (refused.size() > kNamesShownAtMost) {
    text += QStringLiteral("\nほか %1 件").arg(refused.size() - kNamesShownAtMost);
  }
  return text;
}

// Only the names are recorded: the items themselves stay where they are.
bool KeepItemsInPlace(QDropEvent* event) {
  if (event->possibleActions() & Qt::CopyAction) {
    event->setDropAction(Qt::CopyAction);
  } else if (event->possibleActions() & Qt::LinkAction) {
    event->setDropAction(Qt::LinkAction);
  } else {
    return false;
  }
  return true;
}

}  // namespace

Form1::Form1(Env& env, SettingsLocation settings, std::string LogFilePath, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      Label1(Placed(new QLabel(this), "Label1", TwipsRect(120, 120, 3330, 180))),
      Text1(Placed(new QLineEdit(this), "Text1", TwipsRect(120, 360, 6135, 315))),
      Frame1(Placed(Container(new QFrame(this)), "Frame1", TwipsRect(6300, 240, 795, 495))),
      Command1(Placed(new QPushButton(Frame1), "Command1", TwipsRect(60, 60, 675, 375))),
      List1(Placed(new QListView(this), "List1", TwipsRect(120, 1140, 6975, 3300))),
      Label3(Placed(new QLabel(this), "Label3", TwipsRect(120, 900, 3150, 180))),
      Frame2(Placed(Container(new QFrame(this)), "Frame2", TwipsRect(5400, 4740, 1695, 555))),
      Command2(Placed(new QPushButton(Frame2), "Command2", TwipsRect(60, 120, 555, 375))),
      Command3(Placed(new QPushButton(Frame2), "Command3", TwipsRect(840, 60, 795, 435))),
      Label2(Placed(new QLabel(this), "Label2", TwipsRect(120, 4560, 5130, 720))),
      env_(env),
      settings_(std::move(settings)),
      LogFilePath_(std::move(LogFilePath)),
      model_(new LogListModel(this)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("ファイルログ作成ツール"));
  setFont(GothicFont());
  setFixedSize(TwipsSize(7200, 5400));
  // Drops are taken here, since a disabled list would get none.
  setAcceptDrops(true);

  Caption(Label1, QStringLiteral("● ログファイル保存場所（ファイル名）"));
  Label1->setBuddy(Text1);
  Text1->setAccessibleName(Label1->text());
  Text1->setAcceptDrops(false);
  Button(Command1, QStringLiteral("選択"));

  List1->setModel(model_);
  List1->setSelectionMode(QAbstractItemView::SingleSelection);
  List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  List1->setUniformItemSizes(true);
  List1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  List1->setAcceptDrops(false);
  List1->setEnabled(false);
  List1->installEventFilter(this);
  ChooseTopRowOnFirstArrowKey(List1);  // the newest entry
  List1->viewport()->installEventFilter(this);
  Caption(Label3, QStringLiteral("● 書き込まれたログ（一番上が最新）"));
  Label3->setBuddy(List1);
  List1->setAccessibleName(Label3->text());
  List1->setAccessibleDescription(
      QStringLiteral("Ctrl+V で、コピーしたファイルやフォルダも記録できます。"));

  Button(Command2, QStringLiteral("？"));
  Command2->setAccessibleDescription(QStringLiteral("バージョン情報"));
  Button(Command3, QStringLiteral("終了"));
  Label2->setWordWrap(true);
  Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  setTabOrder(Text1, Command1);
  setTabOrder(Command1, List1);
  setTabOrder(List1, Command2);
  setTabOrder(Command2, Command3);

  connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
  // Dragging needs a mouse; from the keyboard, items copied in the file
  // manager are pasted instead. Text1 keeps Ctrl+V for its own text.
  connect(new QShortcut(QKeySequence::Paste, this), &QShortcut::activated, this,
          &Form1::List1_Paste);

  Form_Load();
}

Form1::~Form1() = default;

void Form1::Form_Load() {
  Label2->setText(QStringLiteral(
      "↑このリストボックスに、ログを取りたいファイルやフォルダをドラッグ＆ドロップしてください。"));
  Label2->setAccessibleName(Label2->text());
}

void Form1::Form_Unload() {
  const Status saved = SaveLogFilePath(env_, settings_, ShownLogFile(), LogFilePath_);
  if (!saved.ok()) {
    std::fprintf(stderr, "tallyrun: 設定ファイル「%s」に保存できません: %s\n",
                 settings_.settings_file.c_str(), saved.reason().c_str());
  }
}

std::string Form1::ShownLogFile() const {
  const QString shown = Text1->text();
  if (shown == FromBytes(LogFilePath_)) return LogFilePath_;
  return shown.toStdString();
}

void Form1::GetListFromLogFile() {
  model_->Clear();
  const std::string log_file = ShownLogFile();
  if (!log_file.empty()) {
    BusyCursor busy;
    model_->Replace(ReadLogEntries(env_, log_file));
  }
  List1->setEnabled(!model_->empty());
}

void Form1::List1_OLEDragDrop(const QMimeData& Data) {
  if (!Data.hasFormat(kUriList)) return;
  const QByteArray uris = Data.data(kUriList);
  const std::string log_file = ShownLogFile();
  std::vector<std::string> refused;
  Status written = Status::Ok();
  {
    BusyCursor busy;
    std::string batch;
    LogEntries added;
    std::string moment;
    std::optional<LocalTime> moment_of;
    ForEachLocalItem(std::string_view(uris.constData(), static_cast<std::size_t>(uris.size())),
                     QSysInfo::machineHostName().toStdString(), [&](std::string& path, bool exact) {
                       if (!exact || !FitsOnOneLogLine(path) || LostOnTheWay(path, env_)) {
                         refused.push_back(path);
                         return;
                       }
                       AppendQuotedLine(batch, MakeLogLine(path, env_));
                       // The list shows the moment taken again, as its entry is made.
                       const LocalTime now = env_.Now();
                       if (!moment_of || *moment_of != now) {
                         moment = DateTimeText(now);
                         moment_of = now;
                       }
                       added.AddNewest(moment, path);
                     });
    // A drop without local items writes nothing and says nothing.
    if (!batch.empty()) written = env_.AppendLines(log_file, batch);
    if (written.ok() && !added.empty()) {
      model_->AddNewest(added);
      List1->setEnabled(true);
    }
  }
  if (!refused.empty()) ShowMessage(this, RefusalText(refused), kDropTitle);
  if (!written.ok()) {
    ShowMessage(this,
                QStringLiteral("ログファイル「%1」に書き込めません。\n理由：%2")
                    .arg(FromBytes(log_file), FromBytes(written.reason())),
                kDropTitle);
  }
}

void Form1::List1_Paste() {
  const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
  if (copied == nullptr) return;
  QMimeData items;
  if (copied->hasFormat(kUriList)) {
    items.setData(kUriList, copied->data(kUriList));
  } else if (copied->hasFormat(kCopiedFiles)) {
    items.setData(kUriList, copied->data(kCopiedFiles));
  } else {
    return;
  }
  List1_OLEDragDrop(items);
}

void Form1::List1_DblClick() {
  const QModelIndexList selected = List1->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return;
  OpenEntry(this, model_->Entry(selected.front().row()));
}

void Form1::List1_KeyPress(int KeyAscii) {
  if (KeyAscii == kKeyAsciiEnter) List1_DblClick();
}

void Form1::Command1_Click() {
  {
    Form2 dialog(strFileName, this);
    dialog.exec();
  }
  if (!strFileName.isEmpty() && strFileName != Text1->text()) {
    Text1->setText(strFileName);
    GetListFromLogFile();
  }
}

void Form1::Command2_Click() {
  Form3 dialog(this);
  dialog.exec();
}

void Form1::Command3_Click() { close(); }

void Form1::closeEvent(QCloseEvent* event) {
  Form_Unload();
  event->accept();
}

bool Form1::TakesDropAt(const QPoint& pos) const { return List1->geometry().contains(pos); }

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  // A move follows at once and decides by position.
  event->setAccepted(event->mimeData()->hasFormat(kUriList));
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasFormat(kUriList) && TakesDropAt(event->position().toPoint()) &&
      KeepItemsInPlace(event)) {
    event->accept(List1->geometry());
  } else {
    event->ignore();
  }
}

void Form1::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasFormat(kUriList) || !TakesDropAt(event->position().toPoint()) ||
      !KeepItemsInPlace(event)) {
    event->ignore();
    return;
  }
  event->accept();
  // Recorded once the drop is over, so that a message box never holds up the
  // program the items came from.
  auto data = std::make_shared<QMimeData>();
  data->setData(kUriList, event->mimeData()->data(kUriList));
  QMetaObject::invokeMethod(
      this, [this, data] { List1_OLEDragDrop(*data); }, Qt::QueuedConnection);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == List1 && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
        key->text() == QLatin1String("\r")) {
      List1_KeyPress(kKeyAsciiEnter);
      return true;
    }
  } else if (watched == List1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) List1_DblClick();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tallyrun::ui
