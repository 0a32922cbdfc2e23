// Any form in Qt: its controls made and laid out from its table, what it
// puts into them drawn, and the user's clicks, keys and drops handed to it.
// The window decides nothing itself.
#pragma once

#include <QDialog>
#include <QKeySequence>
#include <QTimer>
#include <QVector>
#include <memory>
#include <utility>
#include <vector>

#include "ui/common/form.h"

class QAbstractItemView;
class QMimeData;

namespace tallyrun::ui::qt {

class FormWindow : public QDialog, public FormView {
  Q_OBJECT

 public:
  explicit FormWindow(Form& form, QWidget* parent = nullptr);
  ~FormWindow() override;

  // The control made for a row of the form's table.
  QWidget* control(int row) const { return controls_[row]; }
  // Hands a drop to the form, as if it had landed on `row`'s control.
  void DropOn(int row, const QMimeData& data);

  void SetText(int control, std::string_view text) override;
  std::string Text(int control) const override;
  void Enable(int control, bool enabled) override;
  void ListChanged(int control, std::size_t added_on_top) override;
  std::optional<std::size_t> Selected(int control) const override;
  void Select(int control, std::optional<std::size_t> row) override;
  void ShowMessage(std::string_view text, std::string_view title) override;
  void ShowModal(Form& dialog) override;
  void SetBusy(bool busy) override;
  void SetTimer(int milliseconds) override;
  void Close() override;
  void SetChecked(int control, bool checked) override;
  bool Checked(int control) const override;
  void ShowModeless(Form& dialog) override;
  void PopupMenu(const std::vector<MenuEntry>& entries) override;
  bool CopyText(std::string_view text) override;

  // Closing, in whatever way, unloads the form once.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  const Control& Row(int control) const;
  QWidget* Make(int row);
  void Paste();
  void MakeMenuKeys();
  // The control under `pos` that takes drops, or -1.
  int DropTargetAt(const QPoint& pos) const;
  void ShowRows(int control);
  void PlaceBeside(QWidget& box) const;

  Form& form_;
  std::vector<QWidget*> controls_;
  // What the form put into each label, carriage returns and all.
  std::vector<std::string> captions_;
  QTimer timer_;
  bool busy_ = false;
  bool unloaded_ = false;
  // Shown from another window: Esc closes it.
  bool dialog_ = false;
  // Where the menu last asked for shows, and its entries' keys.
  QPoint menu_at_;
  std::vector<QKeySequence> menu_keys_;
  std::vector<std::pair<Form*, std::unique_ptr<FormWindow>>> beside_;
};

}  // namespace tallyrun::ui::qt
