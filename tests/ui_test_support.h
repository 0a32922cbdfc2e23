// What the window tests share: a user's double-click, the user's answer to
// message boxes, what a screen reader and a keyboard user meet in a window,
// and whether the controls stand apart with their captions whole.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <filesystem>
#include <functional>
#include <string>

#include "ui/qt/controls.h"
#include "ui/qt/look.h"
#include "ui/qt/message_box.h"

namespace tallyrun::testing {

// As the windowing system sends it: a click, then the double-click.
inline void DoubleClick(QAbstractScrollArea* view, const QPoint& at) {
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

// The program's message boxes are answered with OK while `action` runs;
// gives each box's title and text, marked when the box is not the plain kind
// (an OK button only, no icon anywhere).
inline QStringList Messages(const std::function<void()>& action) {
  QStringList seen;
  ui::qt::AnswerMessagesWith([&seen](QMessageBox& box) {
    const QList<QAbstractButton*> buttons = box.buttons();
    const bool plain = box.icon() == QMessageBox::NoIcon && box.iconPixmap().isNull() &&
                       buttons.size() == 1 && buttons.front()->text() == QLatin1String("OK") &&
                       buttons.front()->icon().isNull();
    seen << (plain ? "" : "NOT PLAIN ") + box.windowTitle() + '|' + box.text();
  });
  action();
  // Messages that follow a drop come once the drop is over.
  QCoreApplication::processEvents();
  ui::qt::AnswerMessagesWith({});
  return seen;
}

// Runs `action`, which opens a modal window; `answer` is given that window
// once its own event loop runs.
inline void WhileModal(const std::function<void()>& action,
                       const std::function<void(QWidget*)>& answer) {
  QTimer::singleShot(0, [&answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) answer(modal);
  });
  action();
}

// The windows start in the process's current folder.
struct InFolder {
  explicit InFolder(const std::string& folder) { std::filesystem::current_path(folder); }
  ~InFolder() { std::filesystem::current_path(before); }
  const std::filesystem::path before = std::filesystem::current_path();
};

// Within the window: controls of one parent that overlap, controls that
// stick out of their parent, captions of labels and buttons whose ink leaves
// the control, and fixed texts that need scrolling, with the face in use.
inline QStringList LayoutFaults(QWidget* window) {
  QStringList faults;
  const auto named = [](const QWidget* w) {
    return !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")) &&
           w->objectName() != QLatin1String("MessageBox");
  };
  QList<QWidget*> controls;
  for (QWidget* w : window->findChildren<QWidget*>())
    if (named(w) && named(w->parentWidget()) && !w->isWindow()) controls << w;
  // Where a label's text stands: the ink of its lines, in the label.
  const auto ink = [](const ui::qt::Caption* caption, const ui::qt::Caption::Line& line) {
    return QFontMetricsF(caption->font()).tightBoundingRect(line.text).translated(line.baseline);
  };
  const auto area = [&ink](const QWidget* w) {
    const auto* caption = qobject_cast<const ui::qt::Caption*>(w);
    if (caption == nullptr) return QRectF(w->geometry());
    QRectF all;
    for (const ui::qt::Caption::Line& line : caption->Lines()) all |= ink(caption, line);
    return all.translated(w->pos());
  };
  for (QWidget* a : controls) {
    if (!a->parentWidget()->rect().contains(a->geometry()))
      faults << a->objectName() + " sticks out";
    for (QWidget* b : controls)
      if (a < b && a->parentWidget() == b->parentWidget() && area(a).intersects(area(b)))
        faults << a->objectName() + " overlaps " + b->objectName();
    const QString face =
        QFontInfo(a->font()).family() + " " + QString::number(QFontInfo(a->font()).pointSizeF());
    if (const auto* caption = qobject_cast<const ui::qt::Caption*>(a)) {
      for (const ui::qt::Caption::Line& line : caption->Lines())
        if (!ink(caption, line).isEmpty() && !QRectF(caption->rect()).contains(ink(caption, line)))
          faults << a->objectName() + " cut in " + face + ": " + line.text;
    } else if (const auto* text = qobject_cast<const QPlainTextEdit*>(a)) {
      // A fixed text is read whole, without scrolling (once the window is shown).
      if (text->isVisible() && text->verticalScrollBar()->maximum() > 0)
        faults << a->objectName() + " scrolls in " + face;
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(a)) {
      const QRect room = ui::qt::CaptionRoom(button);
      const QRectF need =
          QFontMetricsF(a->font()).tightBoundingRect(ui::qt::WithoutMnemonic(button->text()));
      if (need.width() > room.width() || need.height() > room.height())
        faults << a->objectName() + " cut in " + face;
    }
  }
  return faults;
}

// What a screen reader says for the window, then for each of `controls` by
// object name (for a combo box, whose name is its current entry on Linux, the
// label that names it), then for each focusable, shown item that says nothing.
inline QStringList Heard(QWidget* window, const QStringList& controls) {
  QMap<QString, QString> named;
  QStringList silent;
  const std::function<void(QAccessibleInterface*)> visit = [&](QAccessibleInterface* item) {
    for (int i = 0; i < item->childCount(); ++i) {
      QAccessibleInterface* child = item->child(i);
      if (child == nullptr || child->state().invisible) continue;
      const auto labels = child->relations(QAccessible::Label);
      const QString text = child->role() != QAccessible::ComboBox ? child->text(QAccessible::Name)
                           : labels.isEmpty()                     ? QString()
                                              : labels.front().first->text(QAccessible::Name);
      const QString name = child->object() ? child->object()->objectName() : QString();
      named[name] = text;
      if (child->state().focusable && text.isEmpty())
        silent << QStringLiteral("%1 (role %2)").arg(name).arg(child->role());
      visit(child);
    }
  };
  QAccessibleInterface* top = QAccessible::queryAccessibleInterface(window);
  visit(top);
  QStringList heard{top->text(QAccessible::Name)};
  for (const QString& name : controls) heard << named.value(name, "(missing)");
  return heard << silent;
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
