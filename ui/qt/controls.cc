#include "ui/qt/controls.h"

#include <QCheckBox>
#include <QFontInfo>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

#include "ui/qt/look.h"

namespace tallyrun::ui::qt {
namespace {

// The top of the ideographic em box above the baseline, in ems.
constexpr qreal kEmBoxAscent = 0.88;
// Below this, a caption would be too small to read: it is cut instead.
constexpr qreal kSmallestPoints = 6;

qreal EmOf(const QWidget* control) {
  return QFontInfo(control->font()).pointSizeF() * control->logicalDpiY() / 72.0;
}

bool Fits(const QWidget* control) {
  const QFontMetricsF metrics(control->font());
  if (const auto* caption = qobject_cast<const Caption*>(control)) {
    for (const Caption::Line& line : caption->Lines()) {
      const QRectF ink = metrics.tightBoundingRect(line.text).translated(line.baseline);
      if (!ink.isEmpty() && !QRectF(caption->Room()).contains(ink)) return false;
    }
    return true;
  }
  if (const auto* text = qobject_cast<const QPlainTextEdit*>(control)) {
    // Short lines, each its own: the lines' height against the room for them.
    const QTextDocument& document = *text->document();
    return metrics.lineSpacing() * document.blockCount() + 2 * document.documentMargin() <=
           text->contentsRect().height();
  }
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
    const QRectF ink = metrics.tightBoundingRect(WithoutMnemonic(button->text()));
    const QRect room = CaptionRoom(button);
    return ink.width() <= room.width() && ink.height() <= room.height();
  }
  return true;
}

void ShrinkUntilFits(QWidget* control) {
  QFont face = control->font();
  while (!Fits(control) && face.pointSizeF() > kSmallestPoints) {
    face.setPointSizeF(face.pointSizeF() - 0.5);
    control->setFont(face);
  }
}

}  // namespace

QRect CaptionRoom(const QAbstractButton* button) {
  QStyleOptionButton option;
  option.initFrom(button);
  const QStyle::SubElement room =
      qobject_cast<const QCheckBox*>(button)      ? QStyle::SE_CheckBoxContents
      : qobject_cast<const QRadioButton*>(button) ? QStyle::SE_RadioButtonContents
                                                  : QStyle::SE_PushButtonContents;
  return button->style()->subElementRect(room, &option, button);
}

QList<Caption::Line> Caption::Lines() const {
  QList<Line> lines;
  const QFontMetricsF metrics(font());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // The ink of the lines, above and below the baseline.
  qreal above = kEmBoxAscent * EmOf(this), below = (1 - kEmBoxAscent) * EmOf(this);
  for (const QString& paragraph : WithoutMnemonic(text()).split(QLatin1Char('\n'))) {
    QTextLayout layout(paragraph, font(), const_cast<Caption*>(this));
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width());
      const QString text = paragraph.mid(line.textStart(), line.textLength());
      const QRectF ink = metrics.tightBoundingRect(text);
      // Ink that would start left of the label starts at its edge.
      lines.append({text, QPointF(std::max<qreal>(0, -ink.left()), 0)});
      above = std::max(above, -ink.top());
      below = std::max(below, ink.bottom());
    }
    layout.endLayout();
  }
  // Lines one em apart, or as far as their ink needs.
  const qreal pitch = std::max(EmOf(this), above + below);
  const QRect room = Room();
  const qreal free = room.height() - (static_cast<qreal>(lines.size()) * pitch);
  qreal baseline = above + ((alignment() & Qt::AlignVCenter) && free > 0 ? free / 2 : 0);
  for (Line& line : lines) {
    line.baseline.setY(baseline);
    baseline += pitch;
  }
  return lines;
}

QRect Caption::Room() const {
  QRect room = rect();
  if (parentWidget() == nullptr) return room;
  for (const QWidget* other : parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QRect covered = other->geometry().intersected(geometry());
    if (other == this || other->isWindow() || covered.isEmpty()) continue;
    if (covered.top() > y()) room.setBottom(std::min(room.bottom(), covered.top() - y() - 1));
  }
  return room;
}

void Caption::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(palette().color(foregroundRole()));
  for (const Line& line : Lines()) painter.drawText(line.baseline, line.text);
}

void SetCaption(QWidget* control, const QString& caption) {
  if (auto* label = qobject_cast<QLabel*>(control)) label->setText(ShownLines(caption));
  if (auto* button = qobject_cast<QAbstractButton*>(control)) button->setText(caption);
  control->setAccessibleName(WithoutMnemonic(ShownLines(caption)));
  ShrinkUntilFits(control);
}

void SetTabOrder(std::initializer_list<QWidget*> controls) {
  QWidget* previous = nullptr;
  for (QWidget* control : controls) {
    if (previous != nullptr) QWidget::setTabOrder(previous, control);
    previous = control;
  }
}

void FitCaptions(QWidget* window) {
  for (QWidget* control : window->findChildren<QWidget*>()) {
    if (qobject_cast<Caption*>(control) != nullptr ||
        qobject_cast<QAbstractButton*>(control) != nullptr ||
        qobject_cast<QPlainTextEdit*>(control) != nullptr) {
      ShrinkUntilFits(control);
    }
  }
}

}  // namespace tallyrun::ui::qt
