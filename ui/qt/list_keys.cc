#include "ui/qt/list_keys.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>

#include "ui/common/form.h"

namespace tallyrun::ui::qt {
namespace {

bool MovesTheCursor(int key) {
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      return true;
    default:
      return false;
  }
}

class FirstArrowChoosesTopRow : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    QItemSelectionModel* selection = static_cast<QAbstractItemView*>(watched)->selectionModel();
    // Without a current row, the view's first move lands on the top row.
    if (selection != nullptr && !selection->hasSelection() &&
        MovesTheCursor(static_cast<const QKeyEvent*>(event)->key())) {
      selection->clearCurrentIndex();
    }
    return false;
  }
};

}  // namespace

int KeyCodeOf(const QKeyEvent& event) {
  const int key = event.key();
  return key == Qt::Key_Return || key == Qt::Key_Enter || event.text() == QLatin1String("\r")
             ? kKeyEnter
             : key;
}

void ChooseTopRowOnFirstArrowKey(QAbstractItemView* list) {
  list->installEventFilter(new FirstArrowChoosesTopRow(list));
}

}  // namespace tallyrun::ui::qt
