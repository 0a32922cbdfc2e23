// A list of any length drawn from a form's rows, one row chosen at a time as
// in a list box. It keeps nothing per row, so that a log of ten million
// records costs the window no more than one of ten: only the rows in view are
// asked for, as they are drawn.
#pragma once

#include <QAbstractScrollArea>
#include <optional>

#include "ui/common/form.h"

namespace tallyrun::ui::qt {

class LongList : public QAbstractScrollArea {
  Q_OBJECT

 public:
  LongList(const Form& form, int control, QWidget* parent);

  // The form's rows are new, or `added` rows went on top: the chosen row and,
  // below the top, the rows in view stay where they are.
  void Changed(std::size_t added);
  std::size_t count() const { return count_; }
  std::optional<std::size_t> Chosen() const { return chosen_; }
  // The program's choice, brought into view; no event of the user's.
  void Choose(std::optional<std::size_t> row);
  // The row's text, and where it is drawn in the viewport (empty when out of view).
  QString RowText(std::size_t row) const;
  QRect RowRect(std::size_t row) const;
  std::size_t TopRow() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int RowHeight() const;
  int RowsInView() const;
  std::optional<std::size_t> RowAt(const QPoint& pos) const;
  void SetRange();
  void ChooseByUser(std::size_t row);
  void BringIntoView(std::size_t row);

  const Form& form_;
  const int control_;
  std::size_t count_ = 0;
  std::optional<std::size_t> chosen_;
};

}  // namespace tallyrun::ui::qt
