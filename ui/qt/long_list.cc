#include "ui/qt/long_list.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QToolTip>
#include <algorithm>
#include <climits>
#include <map>

namespace tallyrun::ui::qt {
namespace {

// What a screen reader meets: a list whose rows in view are its items, each
// named by its text; the chosen one is selected and, with the focus, focused.
class RowAccessible : public QAccessibleInterface {
 public:
  RowAccessible(LongList* list, std::size_t row) : list_(list), row_(row) {}
  bool isValid() const override { return list_ != nullptr && row_ < list_->count(); }
  QObject* object() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override {
    return QAccessible::queryAccessibleInterface(list_);
  }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? list_->RowText(row_) : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    const QRect in_view = list_->RowRect(row_);
    return QRect(list_->viewport()->mapToGlobal(in_view.topLeft()), in_view.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.selectable = state.focusable = true;
    state.selected = list_->Chosen() == row_;
    state.focused = state.selected && list_->hasFocus();
    state.invisible = list_->RowRect(row_).isEmpty();
    return state;
  }

 private:
  QPointer<LongList> list_;
  const std::size_t row_;
};

class ListAccessible : public QAccessibleWidget {
 public:
  explicit ListAccessible(LongList* list) : QAccessibleWidget(list, QAccessible::List) {}
  ~ListAccessible() override { Forget(); }

  int childCount() const override {
    const std::size_t top = List()->TopRow();
    std::size_t n = 0;
    while (top + n < List()->count() && !List()->RowRect(top + n).isEmpty()) ++n;
    return static_cast<int>(n);
  }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    return Row(List()->TopRow() + static_cast<std::size_t>(index));
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (int i = 0; i < childCount(); ++i) {
      if (this->child(i) == child) return i;
    }
    return -1;
  }
  QAccessibleInterface* focusChild() const override {
    return List()->Chosen() ? Row(*List()->Chosen()) : nullptr;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    for (int i = 0; i < childCount(); ++i) {
      if (child(i)->rect().contains(x, y)) return child(i);
    }
    return nullptr;
  }
  // The rows are others now: their interfaces go.
  void Forget() {
    for (const auto& [row, id] : rows_) QAccessible::deleteAccessibleInterface(id);
    rows_.clear();
  }

 private:
  LongList* List() const { return static_cast<LongList*>(widget()); }
  QAccessibleInterface* Row(std::size_t row) const {
    const auto known = rows_.find(row);
    if (known != rows_.end()) return QAccessible::accessibleInterface(known->second);
    auto* made = new RowAccessible(List(), row);
    rows_[row] = QAccessible::registerAccessibleInterface(made);
    return made;
  }
  mutable std::map<std::size_t, QAccessible::Id> rows_;
};

QAccessibleInterface* MakeAccessible(const QString&, QObject* object) {
  if (auto* list = qobject_cast<LongList*>(object)) return new ListAccessible(list);
  return nullptr;
}

// Tells a screen reader which row the user has come to.
void TellChosen(LongList* list) {
  if (!QAccessible::isActive() || !list->Chosen()) return;
  auto* accessible = static_cast<ListAccessible*>(QAccessible::queryAccessibleInterface(list));
  const int index = accessible->indexOfChild(accessible->focusChild());
  if (index < 0) return;
  QAccessibleEvent focus(list, QAccessible::Focus);
  focus.setChild(index);
  QAccessible::updateAccessibility(&focus);
}

}  // namespace

LongList::LongList(const Form& form, int control, QWidget* parent)
    : QAbstractScrollArea(parent), form_(form), control_(control) {
  static const bool installed = [] {
    QAccessible::installFactory(MakeAccessible);
    return true;
  }();
  (void)installed;
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setSingleStep(1);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(),
          qOverload<>(&QWidget::update));
}

// As tall as a list view's item in this style and face.
int LongList::RowHeight() const {
  QStyleOptionViewItem option;
  option.initFrom(this);
  option.font = font();
  option.fontMetrics = fontMetrics();
  option.features = QStyleOptionViewItem::HasDisplay;
  option.text = QStringLiteral("Mg");
  const QSize size = style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this);
  return std::max(1, size.height());
}

int LongList::RowsInView() const { return std::max(1, viewport()->height() / RowHeight()); }

std::size_t LongList::TopRow() const {
  return static_cast<std::size_t>(verticalScrollBar()->value());
}

QString LongList::RowText(std::size_t row) const {
  const std::string text = form_.ListRow(control_, row).text;
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect LongList::RowRect(std::size_t row) const {
  const std::size_t top = TopRow();
  if (row < top || row >= count_ || row - top > static_cast<std::size_t>(RowsInView())) return {};
  return QRect(0, static_cast<int>(row - top) * RowHeight(), viewport()->width(), RowHeight());
}

std::optional<std::size_t> LongList::RowAt(const QPoint& pos) const {
  if (pos.y() < 0) return std::nullopt;
  const std::size_t row = TopRow() + static_cast<std::size_t>(pos.y() / RowHeight());
  if (row >= count_) return std::nullopt;
  return row;
}

void LongList::SetRange() {
  const int rows = static_cast<int>(std::min<std::size_t>(count_, INT_MAX));
  verticalScrollBar()->setPageStep(RowsInView());
  verticalScrollBar()->setRange(0, std::max(0, rows - RowsInView()));
}

void LongList::Changed(std::size_t added) {
  if (QAccessible::isActive()) {
    static_cast<ListAccessible*>(QAccessible::queryAccessibleInterface(this))->Forget();
  }
  const std::size_t before = count_;
  const int from_top = verticalScrollBar()->value();
  count_ = form_.ListCount(control_);
  if (added == 0 || count_ < before) {
    chosen_.reset();
    SetRange();
    verticalScrollBar()->setValue(0);
  } else {
    if (chosen_) *chosen_ += added;
    SetRange();
    // Below the top, the rows in view stay; at the top, the new ones show.
    if (from_top > 0) {
      verticalScrollBar()->setValue(
          static_cast<int>(std::min<std::size_t>(from_top + added, INT_MAX)));
    }
  }
  viewport()->update();
}

void LongList::Choose(std::optional<std::size_t> row) {
  chosen_ = row && *row < count_ ? row : std::nullopt;
  if (chosen_) BringIntoView(*chosen_);
  viewport()->update();
}

void LongList::ChooseByUser(std::size_t row) {
  if (count_ == 0) return;
  chosen_ = std::min(row, count_ - 1);
  BringIntoView(*chosen_);
  viewport()->update();
  TellChosen(this);
}

void LongList::BringIntoView(std::size_t row) {
  const std::size_t top = TopRow(), shown = static_cast<std::size_t>(RowsInView());
  if (row < top) {
    verticalScrollBar()->setValue(static_cast<int>(row));
  } else if (row >= top + shown) {
    verticalScrollBar()->setValue(static_cast<int>(row - shown + 1));
  }
}

void LongList::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  QStyleOptionViewItem option;
  option.initFrom(this);
  option.font = font();
  option.fontMetrics = fontMetrics();
  option.features = QStyleOptionViewItem::HasDisplay;
  option.textElideMode = Qt::ElideRight;
  option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
  option.viewItemPosition = QStyleOptionViewItem::OnlyOne;
  option.widget = this;
  const QStyle::State base = option.state & ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
  const std::size_t top = TopRow();
  const std::size_t end = std::min(count_, top + static_cast<std::size_t>(RowsInView()) + 1);
  for (std::size_t row = top; row < end; ++row) {
    option.rect = RowRect(row);
    option.text = RowText(row);
    option.state = base;
    if (chosen_ == row) {
      option.state |= QStyle::State_Selected;
      if (hasFocus()) option.state |= QStyle::State_HasFocus;
    }
    style()->drawControl(QStyle::CE_ItemViewItem, &option, &painter, this);
  }
}

void LongList::keyPressEvent(QKeyEvent* event) {
  const std::size_t page = static_cast<std::size_t>(RowsInView());
  const std::size_t at = chosen_.value_or(0);
  std::optional<std::size_t> to;
  switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Left:
      to = chosen_ ? (at > 0 ? at - 1 : 0) : 0;
      break;
    case Qt::Key_Down:
    case Qt::Key_Right:
      to = chosen_ ? at + 1 : 0;
      break;
    case Qt::Key_PageUp:
      to = chosen_ ? (at > page ? at - page : 0) : 0;
      break;
    case Qt::Key_PageDown:
      to = chosen_ ? at + page : 0;
      break;
    case Qt::Key_Home:
      to = 0;
      break;
    case Qt::Key_End:
      to = count_ > 0 ? count_ - 1 : 0;
      break;
    default:
      event->ignore();
      return;
  }
  ChooseByUser(*to);
}

void LongList::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  if (const std::optional<std::size_t> row = RowAt(event->position().toPoint())) {
    ChooseByUser(*row);
  }
}

void LongList::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void LongList::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  SetRange();
}

// A row wider than the list shows whole when pointed at.
bool LongList::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(event);
    const std::optional<std::size_t> row = RowAt(help->pos());
    const QString text = row ? RowText(*row) : QString();
    if (!text.isEmpty() && fontMetrics().horizontalAdvance(text) > viewport()->width()) {
      QToolTip::showText(help->globalPos(), text, this, RowRect(*row));
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void LongList::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void LongList::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

}  // namespace tallyrun::ui::qt
