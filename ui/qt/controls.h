// Captions as the windows draw them: labels whose lines stand one em apart,
// and every caption made to fit its control.
#pragma once

#include <QAbstractButton>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QStringList>
#include <initializer_list>

namespace tallyrun::ui::qt {

// A label whose lines stand one em apart: the layouts were drawn for faces
// whose line is one em high, and the Japanese glyphs of any face fit in one.
// Lines wrap at the label's width when word wrap is on.
class Caption : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

  struct Line {
    QString text;
    QPointF baseline;  // where the line starts, in the label's coordinates
  };
  // Each line as it is drawn with the label's current face.
  QList<Line> Lines() const;
  // The part of the label no other control covers: where the layout lets a
  // control below begin inside the label, the text must end above it.
  QRect Room() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// Where a button's caption is drawn: beside the box of a check box or
// option button, inside the frame of a push button.
QRect CaptionRoom(const QAbstractButton* button);

// Sets the caption of a label or button (carriage returns break lines) and
// the name a screen reader says for it; the face is made smaller, half a
// point at a time, until the caption fits.
void SetCaption(QWidget* control, const QString& caption);
// Tab visits `controls` in this order.
void SetTabOrder(std::initializer_list<QWidget*> controls);

// The same for every caption in `window`, and for its fixed texts, once all
// its controls stand where they belong: a control placed later may cover part
// of a label.
void FitCaptions(QWidget* window);

}  // namespace tallyrun::ui::qt
