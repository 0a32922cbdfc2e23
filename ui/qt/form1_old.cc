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
#include <QScrollBar>
#include <QShortcut>
#include <QSysInfo>
#include <cstdio>
#include <memory>
#include <utility>

#include "core/log_reader.h"
#include "ui/common/controls.h"
#include "ui/common/list_keys.h"
#include "ui/common/look.h"
#include "ui/common/message_box.h"
#include "ui/decide/choices.h"
#include "ui/decide/drop_batch.h"
#include "ui/decide/texts.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/log_file_chooser.h"
#include "ui/main/dropped_items.h"
#include "ui/main/log_follower.h"
#include "ui/main/log_list_model.h"
#include "ui/main/open_entry.h"

namespace tallyrun::ui {
namespace {

const QString kUriList = QStringLiteral("text/uri-list");
// What GNOME's file managers put on the clipboard: "copy" or "cut", then URIs.
const QString kCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
constexpr int kRowsLaidOutAtOnce = 1 << 16;

class BusyCursor {
 public:
  BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
  ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

QString FromBytes(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
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
      env_(env),
      settings_(std::move(settings)),
      log_file_path_(std::move(LogFilePath)),
      model_(new LogListModel(this)),
      follower_(new LogFollower(
          env, [this](const LogEntries& arrived) { ShowArrived(arrived); },
          [this] { GetListFromLogFile(); }, this)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(text::kForm1Title);
  setFont(GothicFont());
  setFixedSize(TwipsSize(7200, 5400));
  // Drops are taken here, since a disabled list would get none.
  setAcceptDrops(true);

  BuildControls();
  SetTabOrder();
  ConnectHandlers();
  Form_Load();
}

void Form1::BuildControls() {
  Label1_ = Place<Caption>(this, "Label1", {120, 120, 3330, 180}, text::kForm1Label1);
  Label1_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Text1_ = Place<QLineEdit>(this, "Text1", {120, 360, 6135, 315});
  Text1_->setAccessibleName(Label1_->text());
  Text1_->setAcceptDrops(false);
  Label1_->setBuddy(Text1_);
  Frame1_ = Place<QFrame>(this, "Frame1", {6300, 240, 795, 495});
  Frame1_->setFrameShape(QFrame::NoFrame);
  Command1_ = Place<QPushButton>(Frame1_, "Command1", {60, 60, 675, 375}, text::kForm1Command1);
  List1_ = Place<QListView>(this, "List1", {120, 1140, 6975, 3300});
  Label3_ = Place<Caption>(this, "Label3", {120, 900, 3150, 180}, text::kForm1Label3);
  Label3_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Label3_->setBuddy(List1_);
  Frame2_ = Place<QFrame>(this, "Frame2", {5400, 4740, 1695, 555});
  Frame2_->setFrameShape(QFrame::NoFrame);
  Command2_ = Place<QPushButton>(Frame2_, "Command2", {60, 120, 555, 375}, text::kForm1Command2);
  Command2_->setAccessibleDescription(text::kForm3Title);
  Command3_ = Place<QPushButton>(Frame2_, "Command3", {840, 60, 795, 435}, text::kForm1Command3);
  Label2_ = Place<Caption>(this, "Label2", {120, 4560, 5130, 720});
  for (QPushButton* button : {Command1_, Command2_, Command3_}) {
    button->setAutoDefault(true);  // Enter presses the focused button, as Space does
  }
  BuildList();
  FitCaptions(this);
}

void Form1::BuildList() {
  List1_->setModel(model_);
  List1_->setSelectionMode(QAbstractItemView::SingleSelection);
  List1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  List1_->setUniformItemSizes(true);
  // The top of a long log shows at once; the rest is laid out while it is
  // looked at, so the list never holds up the window.
  List1_->setLayoutMode(QListView::Batched);
  List1_->setBatchSize(kRowsLaidOutAtOnce);
  List1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  List1_->setAcceptDrops(false);
  List1_->setEnabled(false);
  List1_->setAccessibleName(Label3_->text());
  List1_->setAccessibleDescription(
      QStringLiteral("Ctrl+V で、コピーしたファイルやフォルダも記録できます。"));
  ChooseTopRowOnFirstArrowKey(List1_);  // the newest entry
}

void Form1::SetTabOrder() { ui::SetTabOrder({Text1_, Command1_, List1_, Command2_, Command3_}); }

void Form1::ConnectHandlers() {
  List1_->installEventFilter(this);
  List1_->viewport()->installEventFilter(this);
  connect(Command1_, &QPushButton::clicked, this, &Form1::Command1_Click);
  connect(Command2_, &QPushButton::clicked, this, &Form1::Command2_Click);
  connect(Command3_, &QPushButton::clicked, this, &Form1::Command3_Click);
  // Dragging needs a mouse; from the keyboard, items copied in the file
  // manager are pasted instead. Text1 keeps Ctrl+V for its own text.
  connect(new QShortcut(QKeySequence::Paste, this), &QShortcut::activated, this,
          &Form1::List1_Paste);
}

Form1::~Form1() = default;

void Form1::Form_Load() { SetCaption(Label2_, text::kForm1Label2); }

void Form1::Form_Unload() {
  follower_->Stop();
  const Status saved = SaveLogFilePath(env_, settings_, ShownLogFile(), log_file_path_);
  if (!saved.ok()) {
    std::fprintf(stderr, "tallyrun: 設定ファイル「%s」に保存できません: %s\n",
                 settings_.settings_file.c_str(), saved.reason().c_str());
  }
}

void Form1::SetText1(const QString& text) { Text1_->setText(text); }

std::string Form1::ShownLogFile() const {
  const QString shown = Text1_->text();
  if (shown == FromBytes(log_file_path_)) return log_file_path_;
  return shown.toStdString();
}

void Form1::GetListFromLogFile() {
  model_->Clear();
  follower_->Stop();
  const std::string log_file = ShownLogFile();
  if (!log_file.empty()) {
    BusyCursor busy;
    model_->Replace(follower_->ReadAndFollow(log_file));
  }
  List1_->setEnabled(!model_->empty());
}

void Form1::ShowArrived(const LogEntries& arrived) {
  QScrollBar* scroll = List1_->verticalScrollBar();
  const int from_top = scroll->value();
  model_->AddNewest(arrived);
  List1_->setEnabled(true);
  if (from_top > 0) {
    // The layout that follows an insertion is due later; it is needed now,
    // whole, to keep the same entries in view.
    List1_->setLayoutMode(QListView::SinglePass);
    List1_->doItemsLayout();
    List1_->setLayoutMode(QListView::Batched);
    const int rows = static_cast<int>(arrived.size());
    scroll->setValue(from_top + (List1_->verticalScrollMode() == QAbstractItemView::ScrollPerItem
                                     ? rows
                                     : rows * List1_->sizeHintForRow(0)));
  }
}

void Form1::List1_OLEDragDrop(const QMimeData& Data) {
  if (!Data.hasFormat(kUriList)) return;
  const std::string log_file = ShownLogFile();
  const QByteArray uris = Data.data(kUriList);
  DropBatch drop(env_);
  Status written = Status::Ok();
  {
    BusyCursor busy;
    // What others added first goes below what is dropped now.
    follower_->CatchUp();
    ForEachLocalItem(std::string_view(uris.constData(), static_cast<std::size_t>(uris.size())),
                     QSysInfo::machineHostName().toStdString(),
                     [&drop](std::string& path, bool exact) { drop.Take(path, exact); });
    // A drop without local items writes nothing and says nothing.
    written = drop.Write(log_file);
    if (!drop.added().empty()) {
      follower_->Wrote(log_file, drop.lines());
      model_->AddNewest(drop.added());
      List1_->setEnabled(true);
    }
  }
  const QString title = QString::fromUtf8(kDropTitle);
  if (!drop.refused().empty()) ShowMessage(this, FromBytes(RefusalText(drop.refused())), title);
  if (!written.ok()) ShowMessage(this, FromBytes(WriteFailureText(log_file, written)), title);
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
  const QModelIndexList selected = List1_->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return;
  OpenEntry(this, model_->Entry(selected.front().row()));
}

void Form1::List1_KeyPress(int KeyAscii) {
  if (KeyAscii == kKeyCodeEnter) List1_DblClick();
}

void Form1::Command1_Click() {
  {
    Form2 dialog(this);
    dialog.Choose(strFileName);
  }
  if (AdoptsChoice(strFileName.toStdString(), Text1_->text().toStdString())) {
    Text1_->setText(strFileName);
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

bool Form1::TakesDropAt(const QPoint& pos) const { return List1_->geometry().contains(pos); }

void Form1::dragEnterEvent(QDragEnterEvent* event) {
  // A move follows at once and decides by position.
  event->setAccepted(event->mimeData()->hasFormat(kUriList));
}

void Form1::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasFormat(kUriList) && TakesDropAt(event->position().toPoint()) &&
      KeepItemsInPlace(event)) {
    event->accept(List1_->geometry());
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
  if (watched == List1_ && event->type() == QEvent::KeyPress) {
    if (KeyCodeOf(*static_cast<QKeyEvent*>(event)) == kKeyCodeEnter) {
      List1_KeyPress(kKeyCodeEnter);
      return true;
    }
  } else if (watched == List1_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) List1_DblClick();
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tallyrun::ui
