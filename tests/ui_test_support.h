// What the window tests share: a user's double-click, the user's answer to
// message boxes, the start of the main window as the program does it, what a
// screen reader and a keyboard user meet in a window, and whether the
// controls stand apart with their captions whole.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QMap>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "ui/common/controls.h"
#include "ui/common/message_box.h"

namespace tallyrun::testing {

// As the windowing system sends it: a click, then the double-click.
inline void DoubleClick(QAbstractItemView* view, const QPoint& at) {
  QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

// The program's message boxes are answered with OK while `action` runs;
// gives each box's title and text, marked when the box is not the plain kind
// (an OK button only, no icon anywhere).
inline QStringList Messages(const std::function<void()>& action) {
  QStringList seen;
  ui::AnswerMessagesWith([&seen](QMessageBox& box) {
    const QList<QAbstractButton*> buttons = box.buttons();
    const bool plain = box.icon() == QMessageBox::NoIcon && box.iconPixmap().isNull() &&
                       buttons.size() == 1 && buttons.front()->text() == QLatin1String("OK") &&
                       buttons.front()->icon().isNull();
    seen << (plain ? "" : "NOT PLAIN ") + box.windowTitle() + '|' + box.text();
  });
  action();
  // Messages that follow a drop come once the drop is over.
  QCoreApplication::processEvents();
  ui::AnswerMessagesWith({});
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

// Start-up's part: the window shown, the log file put into Text1, the list read.
template <typename Window, typename... Args>
std::unique_ptr<Window> StartedAsTheProgramDoes(const std::string& log_file, Args&&... args) {
  auto form = std::make_unique<Window>(std::forward<Args>(args)..., log_file);
  form->show();
  form->SetText1(QString::fromStdString(log_file));
  form->GetListFromLogFile();
  return form;
}

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
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (named(w) && named(w->parentWidget()) && !w->isWindow()) controls << w;
  }
  // Where a label's text stands: the ink of its lines, in its parent.
  const auto area = [](const QWidget* w) {
    const auto* caption = qobject_cast<const ui::Caption*>(w);
    if (caption == nullptr) return QRectF(w->geometry());
    QRectF ink;
    for (const ui::Caption::Line& line : caption->Lines())
      ink |= QFontMetricsF(w->font()).tightBoundingRect(line.text).translated(line.baseline);
    return ink.translated(w->pos());
  };
  for (QWidget* a : controls) {
    if (!a->parentWidget()->rect().contains(a->geometry()))
      faults << a->objectName() + " sticks out";
    for (QWidget* b : controls) {
      if (a < b && a->parentWidget() == b->parentWidget() && area(a).intersects(area(b)))
        faults << a->objectName() + " overlaps " + b->objectName();
    }
    const QString face =
        QFontInfo(a->font()).family() + " " + QString::number(QFontInfo(a->font()).pointSizeF());
    const QFontMetricsF metrics(a->font());
    if (const auto* caption = qobject_cast<const ui::Caption*>(a)) {
      for (const ui::Caption::Line& line : caption->Lines()) {
        const QRectF ink = metrics.tightBoundingRect(line.text).translated(line.baseline);
        if (!ink.isEmpty() && !QRectF(caption->rect()).contains(ink))
          faults << a->objectName() + " cut in " + face + ": " + line.text;
      }
    } else if (const auto* text = qobject_cast<const QPlainTextEdit*>(a)) {
      // A fixed text is read whole, without scrolling (once the window is shown).
      if (text->isVisible() && text->verticalScrollBar()->maximum() > 0)
        faults << a->objectName() + " scrolls in " + face;
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(a)) {
      QStyleOptionButton option;
      option.initFrom(button);
      const QRect room =
          button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
      const QRectF ink = metrics.tightBoundingRect(button->text());
      if (ink.width() > room.width() || ink.height() > room.height())
        faults << a->objectName() + " cut in " + face;
    }
  }
  return faults;
}

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
