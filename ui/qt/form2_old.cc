#include "ui/dialogs/log_file_chooser.h"

#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "platform/files.h"
#include "platform/folders.h"
#include "ui/common/controls.h"
#include "ui/common/list_keys.h"
#include "ui/common/look.h"
#include "ui/common/message_box.h"
#include "ui/decide/texts.h"

namespace tallyrun::ui {
namespace {

constexpr int kPathRole = Qt::UserRole;

// The folder list is a list with indentation, not an outline: nothing to
// fold, so no branch marks.
class FolderTree : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;

 protected:
  void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}
};

// Exactly one "/" between folder and name, at "/" as in any other folder.
QString JoinPath(const QString& folder, const QString& name) {
  return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// Names that do not survive the trip into a QString could not be opened by
// the path we would hand back, so they are not offered.
QStringList SortedNames(const std::vector<std::string>& names,
                        bool (*wanted)(std::string_view) = nullptr) {
  QStringList sorted;
  sorted.reserve(static_cast<qsizetype>(names.size()));
  for (const std::string& raw : names) {
    const QByteArray bytes = QByteArray::fromStdString(raw);
    QString name = QFile::decodeName(bytes);
    if (QFile::encodeName(name) != bytes) continue;
    if (wanted != nullptr && !wanted(raw)) continue;
    sorted.push_back(std::move(name));
  }
  std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
  });
  return sorted;
}

QString DriveEntryText(const platform::Mount& mount) {
  const QString point = QFile::decodeName(QByteArray::fromStdString(mount.point));
  if (mount.type.empty()) return point;
  return point + QStringLiteral(" [") + QString::fromStdString(mount.type) + QLatin1Char(']');
}

QString CurrentFolder() {
  const QString folder = QFile::decodeName(QByteArray::fromStdString(platform::CurrentDirectory()));
  return folder.isEmpty() ? QStringLiteral("/") : folder;
}

}  // namespace

Form2::Form2(QWidget* parent, MountSource mounts) : QDialog(parent), mounts_(std::move(mounts)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(text::kForm2Title);
  setFont(GothicFont());
  setFixedSize(TwipsSize(7005, 3900));
  BuildControls();
  SetTabOrder();
  ConnectHandlers();
  Form_Load();
  connect(Drive1_, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
  File1_->setFocus();
}

void Form2::Choose(QString& strFileName) {
  exec();
  if (outcome_) strFileName = *outcome_;
}

void Form2::BuildControls() {
  Label1_ = Place<Caption>(this, "Label1", {120, 120, 3135, 195}, text::kForm2Label1);
  Label2_ = Place<Caption>(this, "Label2", {120, 680, 3135, 195}, text::kForm2Label2);
  Label3_ = Place<Caption>(this, "Label3", {3480, 120, 3375, 255}, text::kForm2Label3);
  File1_ = Place<QListWidget>(this, "File1", {3480, 300, 3375, 2970});
  Frame1_ = Place<QWidget>(this, "Frame1", {3480, 3360, 3375, 495});
  QFont bold = font();
  bold.setBold(true);
  Command2_ =
      Place<QPushButton>(Frame1_, "Command2", {2280, 0, 1035, 435}, text::kForm2Command2, bold);
  bold.setUnderline(true);
  Command1_ =
      Place<QPushButton>(Frame1_, "Command1", {60, 0, 1995, 435}, text::kForm2Command1, bold);
  // No default button: Enter belongs to the lists.
  Command1_->setAutoDefault(false);
  Command2_->setAutoDefault(false);
  Drive1_ = Place<QComboBox>(this, "Drive1", {120, 300, 3135, 300});
  Dir1_ = Place<FolderTree>(this, "Dir1", {120, 870, 3135, 2400});
  Label4_ = Place<Caption>(this, "Label4", {120, 3360, 3135, 435}, text::kForm2Label4);
  BuildLists();
  FitCaptions(this);
}

void Form2::BuildLists() {
  File1_->setSelectionMode(QAbstractItemView::SingleSelection);
  File1_->setAcceptDrops(true);
  ChooseTopRowOnFirstArrowKey(File1_);
  Dir1_->setHeaderHidden(true);
  Dir1_->setRootIsDecorated(false);
  Dir1_->setItemsExpandable(false);
  Dir1_->setExpandsOnDoubleClick(false);
  Dir1_->setIndentation(TwipsToPixels(180));
  Dir1_->setSelectionMode(QAbstractItemView::SingleSelection);
  // Each list is heard by the heading above it.
  const std::pair<QLabel*, QWidget*> headings[] = {
      {Label1_, Drive1_}, {Label2_, Dir1_}, {Label3_, File1_}};
  for (const auto& [label, list] : headings) {
    list->setAccessibleName(label->text());
    label->setBuddy(list);
  }
}

void Form2::SetTabOrder() { ui::SetTabOrder({File1_, Command1_, Command2_, Drive1_, Dir1_}); }

void Form2::ConnectHandlers() {
  for (QObject* watched :
       std::initializer_list<QObject*>{File1_, File1_->viewport(), Dir1_, Command1_, Command2_}) {
    watched->installEventFilter(this);
  }
  connect(File1_, &QListWidget::itemDoubleClicked, this, [this] { File1_DblClick(); });
  connect(Dir1_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { OpenFolder(item->data(0, kPathRole).toString()); });
  connect(Command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(Command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });
}

void Form2::Form_Load() {
  const QString folder = CurrentFolder();
  std::vector<platform::Mount> mounts = mounts_();
  std::optional<std::size_t> holding =
      platform::MountHolding(mounts, QFile::encodeName(folder).toStdString());
  if (!holding) {
    mounts.insert(mounts.begin(), platform::Mount{"/", ""});
    holding = 0;
  }
  for (const platform::Mount& mount : mounts) {
    Drive1_->addItem(DriveEntryText(mount),
                     QFile::decodeName(QByteArray::fromStdString(mount.point)));
  }
  Drive1_->setCurrentIndex(static_cast<int>(*holding));

  // Shown even when it cannot be read: the user starts where the program is.
  if (!SetDir1Path(folder)) {
    dir1_path_ = folder;
    ShowDir1(folder, {});
    SetFile1Path(folder);
  }
  drives_ = DriveRecovery(Drive1_->currentText().toStdString());
}

void Form2::Drive1_Change() {
  const bool entered = SetDir1Path(Drive1_->currentData(kPathRole).toString());
  switch (drives_.Changed(Drive1_->currentText().toStdString(), entered)) {
    case DriveRecovery::Next::kStay:
      return;
    case DriveRecovery::Next::kTellAndReturn: {
      ShowMessage(this, text::kDriveFailure, text::kDriveFailureTitle);
      {
        const QSignalBlocker quiet(Drive1_);
        Drive1_->setCurrentIndex(
            Drive1_->findText(QString::fromStdString(drives_.PreviousDrive())));
      }
      Drive1_Change();
      return;
    }
    case DriveRecovery::Next::kGiveUp:
      EnterTopFolderAfterFailedReturn();
      return;
  }
}

void Form2::Dir1_Change() { SetFile1Path(dir1_path_); }

void Form2::Dir1_KeyUp(int KeyCode, Qt::KeyboardModifiers /*Shift*/) {
  if (KeyCode != kKeyCodeEnter) return;
  if (const QTreeWidgetItem* highlighted = Dir1_->currentItem())
    OpenFolder(highlighted->data(0, kPathRole).toString());
  SetFile1Path(dir1_path_);
}

void Form2::File1_DblClick() {
  const QList<QListWidgetItem*> selected = File1_->selectedItems();
  const QString name = selected.isEmpty() ? QString() : selected.front()->text();
  if (name.isEmpty()) return;
  outcome_ = JoinPath(dir1_path_, name);
  accept();
}

void Form2::File1_KeyUp(int KeyCode, Qt::KeyboardModifiers /*Shift*/) {
  if (KeyCode == kKeyCodeEnter) File1_DblClick();
}

void Form2::File1_OLEDragDrop(qsizetype items) {
  if (items < 2) return;
  ShowMessage(this, text::kTooManyDropped, text::kTooManyDroppedTitle);
}

void Form2::Command1_Click() { File1_DblClick(); }

void Form2::Command2_Click() {
  outcome_ = QString();
  reject();
}

bool Form2::SetDir1Path(const QString& path) {
  const std::optional<platform::FolderListing> listing =
      platform::ListFolder(QFile::encodeName(path).toStdString());
  if (!listing) return false;
  ShowDir1(path, SortedNames(listing->folders));
  if (path != dir1_path_) {
    dir1_path_ = path;
    Dir1_Change();
  }
  return true;
}

void Form2::OpenFolder(const QString& path) {
  if (SetDir1Path(path)) return;
  if (!SetDir1Path(dir1_path_)) ShowDir1(dir1_path_, {});
  SetFile1Path(dir1_path_);
}

void Form2::ShowDir1(const QString& path, const QStringList& subfolders) {
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  Dir1_->clear();

  auto* current = new QTreeWidgetItem(Dir1_, {QStringLiteral("/")});
  current->setData(0, kPathRole, QStringLiteral("/"));
  current->setIcon(0, open);
  QString reached;
  for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    reached += QLatin1Char('/') + part;
    current = new QTreeWidgetItem(current, {part});
    current->setData(0, kPathRole, reached);
    current->setIcon(0, open);
  }
  for (const QString& name : subfolders) {
    auto* child = new QTreeWidgetItem(current, {name});
    child->setData(0, kPathRole, JoinPath(path, name));
    child->setIcon(0, closed);
  }
  Dir1_->expandAll();
  Dir1_->setCurrentItem(current);
  Dir1_->scrollToItem(current);
}

void Form2::SetFile1Path(const QString& path) {
  File1_->clear();
  const std::optional<platform::FolderListing> listing =
      platform::ListFolder(QFile::encodeName(path).toStdString());
  if (listing) File1_->addItems(SortedNames(listing->files, MatchesLogFilePattern));
}

void Form2::EnterTopFolderAfterFailedReturn() {
  const QString top = QStringLiteral("/");
  const int entry = Drive1_->findData(top, kPathRole);
  if (entry >= 0) {
    const QSignalBlocker quiet(Drive1_);
    Drive1_->setCurrentIndex(entry);
    (void)drives_.Changed(Drive1_->currentText().toStdString(), true);
  }
  OpenFolder(top);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    // Held keys repeat their releases under X11; Windows sent one at the end.
    if (!key.isAutoRepeat()) {
      if (watched == File1_) File1_KeyUp(KeyCodeOf(key), key.modifiers());
      if (watched == Dir1_) Dir1_KeyUp(KeyCodeOf(key), key.modifiers());
    }
  } else if (event->type() == QEvent::KeyPress && (watched == Command1_ || watched == Command2_)) {
    // Without default buttons, Enter still presses the focused one.
    if (KeyCodeOf(static_cast<const QKeyEvent&>(*event)) == kKeyCodeEnter) {
      static_cast<QPushButton*>(watched)->click();
      return true;
    }
  } else if (watched == File1_->viewport()) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto& drag = static_cast<QDragMoveEvent&>(*event);
      if (drag.mimeData()->hasUrls()) drag.acceptProposedAction();
      return true;
    }
    if (event->type() == QEvent::Drop) {
      auto& drop = static_cast<QDropEvent&>(*event);
      const qsizetype items = drop.mimeData()->urls().size();
      // Nothing is taken from a drop; the source must not think it moved.
      drop.setDropAction(Qt::IgnoreAction);
      drop.accept();
      // Answered after the drop has finished, so the source is not held up.
      QTimer::singleShot(0, this, [this, items] { File1_OLEDragDrop(items); });
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tallyrun::ui
