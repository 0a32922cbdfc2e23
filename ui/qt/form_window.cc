#include "ui/qt/form_window.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QSysInfo>
#include <QTextDocument>
#include <QTreeWidget>
#include <algorithm>
#include <memory>

#include "ui/qt/controls.h"
#include "ui/qt/dropped_items.h"
#include "ui/qt/list_keys.h"
#include "ui/qt/long_list.h"
#include "ui/qt/look.h"
#include "ui/qt/message_box.h"

namespace tallyrun::ui::qt {
namespace {

const QString kUriList = QStringLiteral("text/uri-list");
// What GNOME's file managers put on the clipboard: "copy" or "cut", then URIs.
const QString kCopiedFiles = QStringLiteral("x-special/gnome-copied-files");

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The folder list is a list with indentation, not an outline: nothing to
// fold, so no branch marks. It keeps its items in the form's row order.
class FolderList : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;
  std::vector<QTreeWidgetItem*> rows;

 protected:
  void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}
};

bool IsList(Kind kind) {
  return kind == Kind::kLogList || kind == Kind::kFileList || kind == Kind::kFolderList;
}

QFont FaceOf(const Control& c) {
  QFont face = c.face == Face::kPGothic ? ProportionalGothicFont() : GothicFont();
  face.setBold((c.style & kBold) != 0);
  face.setUnderline((c.style & kUnderline) != 0);
  return face;
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

FormWindow::FormWindow(Form& form, QWidget* parent)
    : QDialog(parent, parent != nullptr
                          ? Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          : Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                Qt::WindowCloseButtonHint),
      form_(form) {
  const FormTable& table = form.Table();
  setObjectName(Q(table.name));
  setWindowTitle(Q(table.title));
  setFont(GothicFont());
  setFixedSize(TwipsSize(table.width, table.height));
  // Drops are taken by the window, since a disabled list would get none.
  setAcceptDrops(true);
  const int count = static_cast<int>(table.controls.size());
  controls_.assign(table.controls.size(), nullptr);
  captions_.assign(table.controls.size(), {});
  for (int row = 0; row < count; ++row) controls_[row] = Make(row);

  QWidget* previous = nullptr;
  for (int row = 0; row < count; ++row) {
    const Control& c = Row(row);
    if (c.heard_by >= 0) {
      controls_[row]->setAccessibleName(WithoutMnemonic(ShownLines(Q(Row(c.heard_by).caption))));
      static_cast<QLabel*>(controls_[c.heard_by])->setBuddy(controls_[row]);
    }
    if (!c.heard_as.empty()) controls_[row]->setAccessibleName(Q(c.heard_as));
    if (controls_[row]->focusPolicy() == Qt::NoFocus) continue;
    if (previous != nullptr) QWidget::setTabOrder(previous, controls_[row]);
    previous = controls_[row];
  }
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] { form_.Timer(); });
  // Dragging needs a mouse; from the keyboard, items copied in the file
  // manager are pasted instead. Text boxes keep Ctrl+V for their own text.
  connect(new QShortcut(QKeySequence::Paste, this), &QShortcut::activated, this,
          &FormWindow::Paste);
  MakeMenuKeys();

  form.Form_Load(*this);
  FitCaptions(this);
  if (table.focus >= 0) controls_[table.focus]->setFocus();
}

FormWindow::~FormWindow() {
  if (busy_) QGuiApplication::restoreOverrideCursor();
}

const Control& FormWindow::Row(int control) const {
  return form_.Table().controls[static_cast<std::size_t>(control)];
}

QWidget* FormWindow::Make(int row) {
  const Control& c = Row(row);
  QWidget* parent = c.in >= 0 ? controls_[c.in] : this;
  QWidget* made = nullptr;
  switch (c.kind) {
    case Kind::kLabel: {
      auto* label = new Caption(parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      made = label;
      break;
    }
    case Kind::kTextBox: {
      auto* text = new QLineEdit(parent);
      text->setAcceptDrops(false);
      connect(text, &QLineEdit::textEdited, this, [this, row] { form_.Change(row); });
      made = text;
      break;
    }
    case Kind::kFrame: {
      if (!c.caption.empty()) {
        made = new QGroupBox(Q(c.caption), parent);
        made->setFocusPolicy(Qt::NoFocus);
        // The caption on the top line, as the form's places expect: the
        // style's own would stand above it, over the first control.
        made->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); margin-top: 0.5em; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
        break;
      }
      auto* frame = new QFrame(parent);
      // An etched line around grouped controls, or nothing at all.
      frame->setFrameStyle(c.bordered ? QFrame::Box | QFrame::Sunken : QFrame::NoFrame);
      frame->setFocusPolicy(Qt::NoFocus);
      made = frame;
      break;
    }
    case Kind::kButton: {
      auto* button = new QPushButton(parent);
      // Enter presses the focused button (see eventFilter), and the default
      // one elsewhere; never a list's Enter.
      button->setAutoDefault(false);
      button->setDefault(row == form_.Table().default_button);
      connect(button, &QPushButton::clicked, this, [this, row] { form_.Click(row); });
      made = button;
      break;
    }
    case Kind::kLogList: {
      auto* list = new LongList(form_, row, parent);
      // The right button, the menu key and Shift+F10 alike.
      list->setContextMenuPolicy(Qt::CustomContextMenu);
      connect(list, &QWidget::customContextMenuRequested, this, [this, list, row](QPoint at) {
        menu_at_ = list->mapToGlobal(at);
        form_.ContextMenu(row);
      });
      list->setAccessibleDescription(
          QStringLiteral("Ctrl+V で、コピーしたファイルやフォルダも記録できます。"));
      made = list;
      break;
    }
    case Kind::kDriveList: {
      auto* drives = new QComboBox(parent);
      connect(drives, &QComboBox::currentIndexChanged, this, [this, row] { form_.Change(row); });
      made = drives;
      break;
    }
    case Kind::kFolderList: {
      auto* folders = new FolderList(parent);
      folders->setHeaderHidden(true);
      folders->setRootIsDecorated(false);
      folders->setItemsExpandable(false);
      folders->setExpandsOnDoubleClick(false);
      folders->setIndentation(TwipsToPixels(180));
      made = folders;
      break;
    }
    case Kind::kFileList:
      made = new QListWidget(parent);
      break;
    case Kind::kCheck:
    case Kind::kOption: {
      QAbstractButton* button = c.kind == Kind::kCheck
                                    ? static_cast<QAbstractButton*>(new QCheckBox(parent))
                                    : new QRadioButton(parent);
      connect(button, &QAbstractButton::clicked, this, [this, row] { form_.Click(row); });
      made = button;
      break;
    }
    case Kind::kNote: {
      auto* note = new QPlainTextEdit(parent);
      note->document()->setDocumentMargin(2);
      // Without its last line end, which would show as an empty line to scroll to.
      QString text = ShownLines(Q(c.caption));
      if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
      note->setPlainText(text);
      note->setReadOnly(true);
      note->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
      note->setTabChangesFocus(true);
      QPalette button_face = note->palette();
      button_face.setColor(QPalette::Base, button_face.color(QPalette::Button));
      note->setPalette(button_face);
      made = note;
      break;
    }
  }
  if (auto* list = qobject_cast<QAbstractItemView*>(made)) {
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setAcceptDrops(false);
    if (c.kind == Kind::kFileList) ChooseTopRowOnFirstArrowKey(list);
  }
  if (IsList(c.kind)) static_cast<QAbstractScrollArea*>(made)->viewport()->installEventFilter(this);
  if (IsList(c.kind) || c.kind == Kind::kButton) made->installEventFilter(this);
  made->setObjectName(Q(c.name));
  made->setGeometry(TwipsRect(c.place.left, c.place.top, c.place.width, c.place.height));
  made->setFont(FaceOf(c));
  made->setEnabled(!c.starts_disabled);
  if (c.kind == Kind::kLabel || c.kind == Kind::kButton || c.kind == Kind::kCheck ||
      c.kind == Kind::kOption) {
    SetCaption(made, Q(c.caption));
  }
  captions_[static_cast<std::size_t>(row)] = std::string(c.caption);
  return made;
}

void FormWindow::SetText(int control, std::string_view text) {
  QWidget* w = controls_[control];
  captions_[static_cast<std::size_t>(control)] = std::string(text);
  if (auto* line = qobject_cast<QLineEdit*>(w)) {
    line->setText(Q(text));
  } else if (auto* note = qobject_cast<QPlainTextEdit*>(w)) {
    note->setPlainText(ShownLines(Q(text)));
  } else {
    SetCaption(w, Q(text));
  }
}

std::string FormWindow::Text(int control) const {
  if (const auto* line = qobject_cast<const QLineEdit*>(controls_[control])) {
    return line->text().toStdString();
  }
  return captions_[static_cast<std::size_t>(control)];
}

void FormWindow::Enable(int control, bool enabled) { controls_[control]->setEnabled(enabled); }

void FormWindow::ListChanged(int control, std::size_t added_on_top) {
  if (auto* list = qobject_cast<LongList*>(controls_[control])) {
    list->Changed(added_on_top);
  } else {
    ShowRows(control);
  }
}

void FormWindow::ShowRows(int control) {
  QWidget* w = controls_[control];
  const QSignalBlocker quiet(w);
  const std::size_t count = form_.ListCount(control);
  if (auto* drives = qobject_cast<QComboBox*>(w)) {
    drives->clear();
    for (std::size_t i = 0; i < count; ++i) drives->addItem(Q(form_.ListRow(control, i).text));
  } else if (auto* folders = dynamic_cast<FolderList*>(w)) {
    folders->clear();
    folders->rows.clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    // Each row hangs under the last row one level up.
    std::vector<QTreeWidgetItem*> at_depth;
    for (std::size_t i = 0; i < count; ++i) {
      const ui::Row r = form_.ListRow(control, i);
      const auto depth = static_cast<std::size_t>(r.depth);
      at_depth.resize(depth);
      auto* item = depth == 0 || at_depth.empty()
                       ? new QTreeWidgetItem(folders, {Q(r.text)})
                       : new QTreeWidgetItem(at_depth.back(), {Q(r.text)});
      item->setIcon(0, r.open ? open : closed);
      at_depth.push_back(item);
      folders->rows.push_back(item);
    }
    folders->expandAll();
  } else if (auto* files = qobject_cast<QListWidget*>(w)) {
    files->clear();
    for (std::size_t i = 0; i < count; ++i) files->addItem(Q(form_.ListRow(control, i).text));
  }
}

std::optional<std::size_t> FormWindow::Selected(int control) const {
  QWidget* w = controls_[control];
  int row = -1;
  if (const auto* list = qobject_cast<const LongList*>(w)) return list->Chosen();
  if (const auto* drives = qobject_cast<const QComboBox*>(w)) {
    row = drives->currentIndex();
  } else if (const auto* folders = dynamic_cast<const FolderList*>(w)) {
    // The highlight, which the keyboard moves without opening anything.
    const auto found =
        std::find(folders->rows.begin(), folders->rows.end(), folders->currentItem());
    if (found != folders->rows.end()) row = static_cast<int>(found - folders->rows.begin());
  } else if (const auto* list = qobject_cast<const QAbstractItemView*>(w)) {
    const QModelIndexList chosen = list->selectionModel()->selectedIndexes();
    if (!chosen.isEmpty()) row = chosen.front().row();
  }
  if (row < 0) return std::nullopt;
  return static_cast<std::size_t>(row);
}

void FormWindow::Select(int control, std::optional<std::size_t> row) {
  QWidget* w = controls_[control];
  const QSignalBlocker quiet(w);
  const int at = row ? static_cast<int>(*row) : -1;
  if (auto* list = qobject_cast<LongList*>(w)) {
    list->Choose(row);
  } else if (auto* drives = qobject_cast<QComboBox*>(w)) {
    drives->setCurrentIndex(at);
  } else if (auto* folders = dynamic_cast<FolderList*>(w)) {
    if (row && *row < folders->rows.size()) {
      folders->setCurrentItem(folders->rows[*row]);
      folders->scrollToItem(folders->rows[*row]);
    }
  } else if (auto* list = qobject_cast<QAbstractItemView*>(w)) {
    if (row) {
      list->setCurrentIndex(list->model()->index(at, 0));
    } else {
      list->clearSelection();
    }
  }
}

void FormWindow::ShowMessage(std::string_view text, std::string_view title) {
  qt::ShowMessage(this, Q(text), Q(title));
}

void FormWindow::ShowModal(Form& dialog) {
  FormWindow window(dialog, this);
  window.dialog_ = true;
  window.exec();
}

void FormWindow::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  } else {
    QGuiApplication::restoreOverrideCursor();
  }
}

void FormWindow::SetTimer(int milliseconds) { timer_.start(milliseconds); }

void FormWindow::Close() { close(); }

void FormWindow::SetChecked(int control, bool checked) {
  static_cast<QAbstractButton*>(controls_[control])->setChecked(checked);
}

bool FormWindow::Checked(int control) const {
  return static_cast<const QAbstractButton*>(controls_[control])->isChecked();
}

// Below this window, or above it, where the box hides none of the list;
// left where the system puts it when neither has room.
void FormWindow::PlaceBeside(QWidget& box) const {
  const QRect owner = frameGeometry();
  const QRect work = screen()->availableGeometry();
  const QSize size = box.size();
  int top = owner.bottom() + 1;
  if (top + size.height() > work.bottom()) top = owner.top() - size.height();
  if (top < work.top()) return;
  const int left =
      std::clamp(owner.left(), work.left(), std::max(work.left(), work.right() - size.width()));
  box.move(left, top);
}

void FormWindow::ShowModeless(Form& dialog) {
  auto shown = std::find_if(beside_.begin(), beside_.end(),
                            [&dialog](const auto& b) { return b.first == &dialog; });
  if (shown == beside_.end() || !shown->second->isVisible()) {
    if (shown != beside_.end()) beside_.erase(shown);
    auto window = std::make_unique<FormWindow>(dialog, this);
    window->dialog_ = true;
    PlaceBeside(*window);
    beside_.emplace_back(&dialog, std::move(window));
    shown = beside_.end() - 1;
  }
  shown->second->show();
  shown->second->raise();
  shown->second->activateWindow();
}

void FormWindow::PopupMenu(const std::vector<MenuEntry>& entries) {
  QMenu menu(this);
  for (const MenuEntry& entry : entries) {
    const MenuItem& item = form_.Table().menu[static_cast<std::size_t>(entry.item)];
    QAction* action = menu.addAction(Q(item.caption));
    action->setEnabled(entry.enabled);
    action->setData(entry.item);
    action->setShortcut(menu_keys_[static_cast<std::size_t>(entry.item)]);
  }
  if (QAction* chosen = menu.exec(menu_at_)) form_.MenuClick(chosen->data().toInt());
}

// X11 and Wayland take the text on demand: nothing can fail here.
bool FormWindow::CopyText(std::string_view text) {
  QGuiApplication::clipboard()->setText(Q(text));
  return true;
}

// Each menu entry with a key of its own can be reached by it alone.
void FormWindow::MakeMenuKeys() {
  const auto& menu = form_.Table().menu;
  menu_keys_.assign(menu.size(), QKeySequence());
  for (std::size_t i = 0; i < menu.size(); ++i) {
    QKeySequence& keys = menu_keys_[i];
    switch (menu[i].shortcut) {
      case Shortcut::kNone:
        continue;
      case Shortcut::kCtrlC:
        keys = QKeySequence::Copy;
        break;
      case Shortcut::kCtrlF:
        keys = QKeySequence::Find;
        break;
      case Shortcut::kF3:
        keys = QKeySequence(Qt::Key_F3);
        break;
      case Shortcut::kShiftF3:
        keys = QKeySequence(Qt::SHIFT | Qt::Key_F3);
        break;
    }
    QWidget* on = menu[i].on >= 0 ? controls_[menu[i].on] : this;
    auto* action = new QAction(on);
    action->setShortcut(keys);
    action->setShortcutContext(menu[i].on >= 0 ? Qt::WidgetShortcut : Qt::WindowShortcut);
    action->setData(static_cast<int>(i));
    connect(action, &QAction::triggered, this, [this, i] { form_.MenuClick(static_cast<int>(i)); });
    on->addAction(action);
  }
}

void FormWindow::done(int result) {
  if (!unloaded_) {
    unloaded_ = true;
    timer_.stop();
    form_.Form_Unload();
  }
  QDialog::done(result);
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
  // Esc is a dialog's own close command; the main window stays.
  if (event->key() == Qt::Key_Escape && !dialog_) {
    event->ignore();
    return;
  }
  QDialog::keyPressEvent(event);
}

void FormWindow::Paste() {
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
  const auto& controls = form_.Table().controls;
  for (std::size_t row = 0; row < controls.size(); ++row) {
    if (controls[row].kind == Kind::kLogList && controls[row].takes_drops) {
      DropOn(static_cast<int>(row), items);
    }
  }
}

void FormWindow::DropOn(int row, const QMimeData& data) {
  std::vector<DroppedItem> items;
  const QByteArray uris = data.data(kUriList);
  ForEachLocalItem(std::string_view(uris.constData(), static_cast<std::size_t>(uris.size())),
                   QSysInfo::machineHostName().toStdString(),
                   [&items](std::string& path, bool exact) {
                     items.push_back({path, exact});
                   });
  form_.OLEDragDrop(row, items);
}

// Tab enters a group of options at the one chosen and leaves the group from
// there, as in Windows' dialogs; the arrow keys go from option to option.
bool FormWindow::focusNextPrevChild(bool next) {
  const QWidget* const from = focusWidget();
  for (std::size_t step = 0; step < controls_.size(); ++step) {
    if (!QDialog::focusNextPrevChild(next)) return false;
    auto* to = qobject_cast<QRadioButton*>(focusWidget());
    if (to == nullptr || to->isChecked()) return true;
    const QList<QRadioButton*> group =
        to->parentWidget()->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
    const auto chosen =
        std::find_if(group.begin(), group.end(), [](QRadioButton* o) { return o->isChecked(); });
    if (chosen == group.end()) return true;
    if (std::none_of(group.begin(), group.end(), [from](const QWidget* o) { return o == from; })) {
      (*chosen)->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return true;
    }
  }
  return true;
}

int FormWindow::DropTargetAt(const QPoint& pos) const {
  for (std::size_t row = 0; row < controls_.size(); ++row) {
    if (!Row(static_cast<int>(row)).takes_drops) continue;
    const QWidget* w = controls_[row];
    if (QRect(w->mapTo(this, QPoint(0, 0)), w->size()).contains(pos)) return static_cast<int>(row);
  }
  return -1;
}

void FormWindow::dragEnterEvent(QDragEnterEvent* event) {
  // A move follows at once and decides by position.
  event->setAccepted(event->mimeData()->hasFormat(kUriList));
}

void FormWindow::dragMoveEvent(QDragMoveEvent* event) {
  const int target = DropTargetAt(event->position().toPoint());
  if (event->mimeData()->hasFormat(kUriList) && target >= 0 && KeepItemsInPlace(event)) {
    event->accept(QRect(controls_[target]->mapTo(this, QPoint(0, 0)), controls_[target]->size()));
  } else {
    event->ignore();
  }
}

void FormWindow::dropEvent(QDropEvent* event) {
  const int target = DropTargetAt(event->position().toPoint());
  if (!event->mimeData()->hasFormat(kUriList) || target < 0 || !KeepItemsInPlace(event)) {
    event->ignore();
    return;
  }
  event->accept();
  // Handed on once the drop is over, so that a message box never holds up
  // the program the items came from.
  auto data = std::make_shared<QMimeData>();
  data->setData(kUriList, event->mimeData()->data(kUriList));
  QMetaObject::invokeMethod(
      this, [this, target, data] { DropOn(target, *data); }, Qt::QueuedConnection);
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const int row = static_cast<int>(i);
    QWidget* w = controls_[i];
    auto* list = qobject_cast<QAbstractScrollArea*>(w);
    if (watched == w && event->type() == QEvent::KeyPress) {
      const auto& key = static_cast<const QKeyEvent&>(*event);
      const int code = KeyCodeOf(key);
      if (qobject_cast<QPushButton*>(w) != nullptr) {
        // Without default buttons, Enter still presses the focused one.
        if (code != kKeyEnter) return false;
        static_cast<QPushButton*>(w)->click();
        return true;
      }
      const QString typed = key.text();
      if (code == kKeyEnter ||
          (typed.size() == 1 && typed.front().unicode() < 0x80 && typed.front().isPrint())) {
        form_.KeyPress(row, code == kKeyEnter ? kKeyEnter : typed.front().unicode());
      }
      // Enter belongs to the list: never to the dialog's default button.
      return code == kKeyEnter;
    }
    if (watched == w && list != nullptr && event->type() == QEvent::KeyRelease) {
      const auto& key = static_cast<const QKeyEvent&>(*event);
      // Held keys repeat their releases under X11; Windows sent one at the end.
      if (!key.isAutoRepeat()) {
        form_.KeyUp(row, KeyCodeOf(key), (key.modifiers() & Qt::ShiftModifier) ? 1 : 0);
      }
      return false;
    }
    // The click before it has chosen the row.
    if (list != nullptr && watched == list->viewport() &&
        event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
      form_.DblClick(row);
      return false;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace tallyrun::ui::qt
