// What a screen reader and a keyboard user meet in a window: the controls'
// accessible names read through Qt's accessibility interface, and the order
// in which Tab visits the controls.
#pragma once

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QMap>
#include <QStringList>
#include <QWidget>
#include <QtTest>
#include <functional>

namespace tallyrun::testing {

struct AccessibleView {
  // By object name, what each of our controls is read as. A combo box's name
  // is its current entry on Linux; its heading comes from the label that
  // names it (Qt's "labelled by" relation), which is what is given here.
  QMap<QString, QString> controls;
  // Items a screen reader would stop at (focusable and shown) that say nothing.
  QStringList unnamed;
};

inline QString HeardAs(QAccessibleInterface* item) {
  if (item->role() == QAccessible::ComboBox) {
    const auto labels = item->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.front().first->text(QAccessible::Name);
  }
  return item->text(QAccessible::Name);
}

inline AccessibleView ReadAccessibleView(QWidget* window) {
  AccessibleView view;
  const std::function<void(QAccessibleInterface*)> visit = [&](QAccessibleInterface* item) {
    for (int i = 0; i < item->childCount(); ++i) {
      QAccessibleInterface* child = item->child(i);
      if (child == nullptr || child->state().invisible) continue;
      const QString heard = HeardAs(child);
      const QObject* object = child->object();
      const QString name = object != nullptr ? object->objectName() : QString();
      if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) view.controls[name] = heard;
      if (child->state().focusable && heard.isEmpty()) {
        view.unnamed << QStringLiteral("%1 (role %2) in %3")
                            .arg(name)
                            .arg(child->role())
                            .arg(item->object() ? item->object()->objectName() : QString());
      }
      visit(child);
    }
  };
  visit(QAccessible::queryAccessibleInterface(window));
  return view;
}

// The names a screen reader reads for a list's rows, top to bottom.
inline QStringList AccessibleRows(QWidget* list) {
  QStringList rows;
  QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list);
  for (int i = 0; i < view->childCount(); ++i) {
    QAccessibleInterface* row = view->child(i);
    if (row->role() == QAccessible::ListItem || row->role() == QAccessible::TreeItem) {
      rows << row->text(QAccessible::Name);
    }
  }
  return rows;
}

// Presses Tab (or Shift+Tab) `presses` times from `first`, as a user at the
// keyboard would, and names the control that has the focus after each.
inline QStringList TabWalk(QWidget* first, int presses, bool backwards = false) {
  QWidget* window = first->window();
  QApplication::setActiveWindow(window);
  if (!QTest::qWaitForWindowActive(window)) return {QStringLiteral("window never active")};
  first->setFocus(Qt::TabFocusReason);
  QStringList visited{QApplication::focusWidget()->objectName()};
  for (int i = 0; i < presses; ++i) {
    QTest::keyClick(QApplication::focusWidget(), backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                    backwards ? Qt::ShiftModifier : Qt::NoModifier);
    visited << QApplication::focusWidget()->objectName();
  }
  return visited;
}

}  // namespace tallyrun::testing
