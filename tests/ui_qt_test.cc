// The forms drawn by Qt: every control laid out from its table, heard by a
// screen reader and reached by the keyboard, the user's clicks, keys and
// drops handed to the form as Qt delivers them, and a message box shown.
#include <QtTest>
#include <QtWidgets>

#include "tests/memory_env.h"
#include "tests/test_support.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/find_box.h"
#include "ui/dialogs/log_file_chooser.h"
#include "ui/main/main_window.h"
#include "ui/qt/controls.h"
#include "ui/qt/form_window.h"
#include "ui/qt/long_list.h"
#include "ui/qt/look.h"
#include "ui/qt/message_box.h"

namespace tallyrun::ui::qt {
namespace {

// A form of controls that hand on the user's events, noting each event it is handed.
class NotingForm : public Form {
 public:
  enum { Text1, List1, Command1, Drive1, File1 };
  static constexpr Control kControls[] = {
      {"Text1", Kind::kTextBox, {}, {120, 360, 2000, 315}},
      // The lists take drops (the last field).
      {"List1", Kind::kLogList, {}, {120, 800, 3000, 2000}, -1, {}, {}, -1, {}, false, false, true},
      {"Command1", Kind::kButton, "押す", {3300, 120, 1000, 400}},
      {"Drive1", Kind::kDriveList, {}, {3300, 1600, 1500, 300}},
      {"File1", Kind::kFileList, {}, {3300, 600, 900, 900}, -1, {}, {}, -1, {}, false, false, true},
  };
  static constexpr MenuItem kMenu[] = {{"mnuA", "一つ目（&A）", Shortcut::kCtrlC, List1},
                                       {"mnuB", "二つ目（&B）", Shortcut::kF3}};
  static constexpr FormTable kTable{"Noting", "題", 5000, 3200, kControls, Text1, -1, kMenu};

  QStringList heard;
  std::vector<std::string> rows;
  FormView* view = nullptr;

  const FormTable& Table() const override { return kTable; }
  void Form_Load(FormView& v) override {
    view = &v;
    heard << "Load";
  }
  void Form_Unload() override { heard << "Unload"; }
  void Click(int c) override { heard << QString("Click %1").arg(c); }
  void DblClick(int c) override { heard << QString("DblClick %1").arg(c); }
  void KeyPress(int c, int k) override { heard << QString("KeyPress %1 %2").arg(c).arg(k); }
  void KeyUp(int c, int k, int) override { heard << QString("KeyUp %1 %2").arg(c).arg(k); }
  void Change(int c) override { heard << QString("Change %1").arg(c); }
  void Timer() override { heard << "Timer"; }
  void ContextMenu(int c) override {
    heard << QString("ContextMenu %1").arg(c);
    view->PopupMenu({{0, false}, {1, true}});
  }
  void MenuClick(int item) override { heard << QString("MenuClick %1").arg(item); }
  void OLEDragDrop(int c, std::vector<DroppedItem>& data) override {
    QString line = QString("Drop %1").arg(c);
    for (const DroppedItem& item : data)
      line += " " + QString::fromStdString(item.path) + (item.exact ? "" : "(inexact)");
    heard << line;
  }
  std::size_t ListCount(int c) const override { return c == Text1 ? 0 : rows.size(); }
  Row ListRow(int, std::size_t row) const override { return {rows[row]}; }
};

// Drags `data` over the window onto `on` and lets go, as the windowing
// system does: through the window, which picks the control under the cursor.
bool DropOn(FormWindow& window, const QMimeData& data, const QWidget* on,
            Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
  const QPoint at = on->mapTo(&window, on->rect().center());
  QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QDragLeaveEvent leave;
  QCoreApplication::sendEvent(window.windowHandle(), &enter);
  QCoreApplication::sendEvent(window.windowHandle(), &move);
  const bool taken = enter.isAccepted() && move.isAccepted();
  QCoreApplication::sendEvent(window.windowHandle(), taken ? static_cast<QEvent*>(&drop) : &leave);
  QCoreApplication::processEvents();  // handed on once the drop is over
  return taken && drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

// A key pressed where the focus is, given first to `in` when there is one.
void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}, QWidget* in = nullptr) {
  if (in != nullptr) in->setFocus();
  QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

// The first `count` controls' faults, with the face in use: a caption's ink
// outside its label or over a control beside it, a button's caption beyond
// its room, a fixed text that needs scrolling.
QStringList LayoutFaults(const FormWindow& window, int count) {
  QStringList faults;
  for (int row = 0; row < count; ++row) {
    const QWidget* w = window.control(row);
    const QFontMetricsF metrics(w->font());
    const QString name = w->objectName() + " in " + QFontInfo(w->font()).family();
    if (const auto* caption = qobject_cast<const Caption*>(w)) {
      for (const Caption::Line& line : caption->Lines()) {
        const QRectF ink = metrics.tightBoundingRect(line.text).translated(line.baseline);
        if (ink.isEmpty()) continue;
        if (!QRectF(w->rect()).contains(ink)) faults << name + " cuts " + line.text;
        for (int other = 0; other < count; ++other) {
          const QWidget* o = window.control(other);
          if (o != w && o->parentWidget() == w->parentWidget() &&
              ink.translated(w->pos()).intersects(o->geometry()))
            faults << name + ": " + line.text + " over " + o->objectName();
        }
      }
    } else if (const auto* text = qobject_cast<const QPlainTextEdit*>(w)) {
      if (text->verticalScrollBar()->maximum() > 0) faults << name + " scrolls";
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
      const QSizeF need = metrics.tightBoundingRect(WithoutMnemonic(button->text())).size();
      if (need.boundedTo(CaptionRoom(button).size()) != need) faults << name + " cut";
    }
  }
  return faults;
}

// What a screen reader says for the window, then for each control of
// `names` (for a combo box, whose name is its current entry on Linux, the
// label that names it).
QStringList Heard(FormWindow& window, const QStringList& names) {
  QStringList heard{QAccessible::queryAccessibleInterface(&window)->text(QAccessible::Name)};
  for (const QString& name : names) {
    QAccessibleInterface* item =
        QAccessible::queryAccessibleInterface(window.findChild<QWidget*>(name));
    const auto labels = item->relations(QAccessible::Label);
    heard << (item->role() != QAccessible::ComboBox ? item->text(QAccessible::Name)
              : labels.isEmpty()                    ? QString()
                                 : labels.front().first->text(QAccessible::Name));
  }
  return heard;
}

}  // namespace

class QtViewTest : public QObject {
  Q_OBJECT

 private slots:
  // With the face the system gives; ctest also runs it with each Japanese
  // face alone and with none (TALLYRUN_TEST_FACE names the face expected,
  // "*" any).
  void EveryFormIsLaidOutFromItsTableHeardAndTabbedInItsOrder() {
    const QString face = qEnvironmentVariable("TALLYRUN_TEST_FACE");
    if (!face.isEmpty() && face != "*" && !QFontDatabase::hasFamily(face))
      QSKIP("the face is not installed here");
    testing::MemoryEnv env;
    env.MakeFolder(env.current_directory);
    const std::string log = testing::P("/a.log");
    env.Write(log, "M\t/entry\tD\r\n");
    std::string answer;
    Form1 main(env, {}, log);
    Form2 chooser(env, answer);
    Form3 about;
    // Something to find: the box's button takes the focus; down: Tab enters at 下へ.
    Search search{"x", true};
    int finds = 0;
    Form4 find(search, [&finds] { ++finds; });
    // clang-format off
    const std::tuple<Form*, QStringList, QStringList> windows[] = {
        {&main, {"Text1", "Command1", "List1", "Command2", "Command3"},
         {"ファイルログ作成ツール", "● ログファイル保存場所（ファイル名）", "選択",
          "● 書き込まれたログ（一番上が最新）", "？", "終了"}},
        {&chooser, {"File1", "Command1", "Command2", "Drive1", "Dir1"},
         {"トレースログファイル選択", "ファイル名", "ファイル選択", "戻る", "ドライブ名", "フォルダ名"}},
        {&about, {"Command1", "Text1"}, {"バージョン情報", "戻る", "クレジット"}},
        {&find, {"Text1", "Command1", "Command2", "Check1", "Option2"},
         {"検索", "検索する文字列（N）：", "次を検索（F）", "閉じる", "大文字と小文字を区別する（C）",
          "下へ（D）"}}};
    // clang-format on
    for (const auto& [form, tab_order, heard] : windows) {
      const FormTable& table = form->Table();
      const int count = static_cast<int>(table.controls.size());
      FormWindow window(*form);
      window.show();
      QApplication::setActiveWindow(&window);
      QVERIFY(QTest::qWaitForWindowActive(&window));
      if (form == &main) main.StartUp(Status::Ok());  // a list to tab into
      const auto px = [](int twips) { return qRound(twips / 15.0); };
      QCOMPARE(window.size(), QSize(px(table.width), px(table.height)));
      for (int row = 0; row < count; ++row) {
        const Twips& at = table.controls[static_cast<std::size_t>(row)].place;
        QCOMPARE(window.control(row)->geometry(),
                 QRect(px(at.left), px(at.top), px(at.width), px(at.height)));
      }
      QCOMPARE(LayoutFaults(window, count).join("; "), QString());
      if (!face.isEmpty() && face != "*") QCOMPARE(QFontInfo(window.font()).family(), face);
      QCOMPARE(Heard(window, tab_order), heard);
      // The focus starts where the table says, and Tab goes round in its order.
      QStringList walked{QApplication::focusWidget()->objectName()};
      for (qsizetype i = 0; i < tab_order.size(); ++i) {
        Press(Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
      }
      QCOMPARE(walked, tab_order + tab_order.mid(0, 1));
      if (form == &find) Press(Qt::Key_Return);  // in its text: the default button
    }
    QCOMPARE(finds, 1);
  }

  void ClicksKeysMenusDropsMessagesAndTimersReachTheFormAsQtDeliversThem() {
    NotingForm form;
    for (int i = 0; i < 100; ++i) form.rows.push_back("old " + std::to_string(99 - i));
    FormWindow window(form);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    for (int list : {NotingForm::Drive1, NotingForm::File1, NotingForm::List1})
      window.ListChanged(list, 0);
    auto* list = static_cast<LongList*>(window.control(NotingForm::List1));
    const auto click = [list](Qt::MouseButton button, std::size_t row) {
      QTest::mouseClick(list->viewport(), button, {}, list->RowRect(row).center());
    };

    // The first key that moves chooses the newest row; End the oldest.
    list->setFocus();
    const std::size_t page = list->verticalScrollBar()->pageStep();
    const std::pair<Qt::Key, std::size_t> moves[] = {{Qt::Key_Down, 0}, {Qt::Key_Down, 1},
                                                     {Qt::Key_End, 99}, {Qt::Key_Up, 98},
                                                     {Qt::Key_Home, 0}, {Qt::Key_PageDown, page}};
    for (const auto& [key, row] : moves) {
      QTest::keyClick(list, key);
      QCOMPARE(list->Chosen(), std::optional<std::size_t>(row));
      QVERIFY(!list->RowRect(row).isEmpty());
    }
    // A screen reader hears the rows in view, and which one is chosen.
    QAccessibleInterface* heard = QAccessible::queryAccessibleInterface(list);
    QCOMPARE(heard->role(), QAccessible::List);
    QCOMPARE(heard->child(0)->text(QAccessible::Name), list->RowText(list->TopRow()));
    QCOMPARE(heard->focusChild()->text(QAccessible::Name), list->RowText(*list->Chosen()));
    QVERIFY(heard->focusChild()->state().selected);
    // Rows put on top leave the chosen row and the rows in view where they were.
    window.Select(NotingForm::List1, 50);
    list->verticalScrollBar()->setValue(50);
    form.rows.insert(form.rows.begin(), {"new 1", "new 0"});
    window.ListChanged(NotingForm::List1, 2);
    QCOMPARE(window.Selected(NotingForm::List1), std::optional<std::size_t>(52));
    QCOMPARE(list->RowText(list->TopRow()), "old 49");
    QCOMPARE(list->RowText(52), "old 49");
    form.heard.clear();
    list->verticalScrollBar()->setValue(0);

    QTest::mouseClick(window.control(NotingForm::Command1), Qt::LeftButton);
    Press(Qt::Key_Return, {}, window.control(NotingForm::Command1));
    click(Qt::LeftButton, 1);
    QCOMPARE(window.Selected(NotingForm::List1), std::optional<std::size_t>(1));
    Press(Qt::Key_Return);
    // As the windowing system sends it: a click, then the double-click.
    click(Qt::LeftButton, 2);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->RowRect(2).center());
    window.Select(NotingForm::Drive1, 2);  // the program's choice: no event
    static_cast<QComboBox*>(window.control(NotingForm::Drive1))->setCurrentIndex(1);
    // Ctrl+C belongs to the list (a text box copies its own text); F3 to the window.
    Press(Qt::Key_C, Qt::ControlModifier, window.control(NotingForm::Text1));
    Press(Qt::Key_C, Qt::ControlModifier, list);
    Press(Qt::Key_F3);
    // The right button chooses the row it is on and asks for the menu, which
    // greys what the form says and hands on what is chosen once it shows.
    click(Qt::RightButton, 1);
    QStringList offered;
    std::function<void()> answer = [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr) return QTimer::singleShot(10, answer);
      for (QAction* action : menu->actions())
        offered << action->text() + (action->isEnabled() ? " " : " (greyed) ") +
                       action->shortcut().toString();
      menu->setActiveAction(menu->actions().at(1));
      QTest::keyClick(menu, Qt::Key_Return);
    };
    QTimer::singleShot(0, answer);
    // As the windowing system follows the right button with its request.
    const QPoint on = list->RowRect(1).center();
    QContextMenuEvent ask(QContextMenuEvent::Mouse, on, list->viewport()->mapToGlobal(on));
    QCoreApplication::sendEvent(list->viewport(), &ask);
    QCOMPARE(offered, QStringList({"一つ目（&A） (greyed) Ctrl+C", "二つ目（&B） F3"}));
    QCOMPARE(window.Selected(NotingForm::List1), std::optional<std::size_t>(1));
    window.SetTimer(0);
    QTRY_VERIFY(form.heard.contains("Timer"));
    window.CopyText("日本 語");
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("日本 語"));
    // A message: an OK button only, no icon, a line for each carriage return.
    QStringList seen;
    AnswerMessagesWith([&seen](QMessageBox& box) {
      const QList<QAbstractButton*> buttons = box.buttons();
      const bool plain = box.icon() == QMessageBox::NoIcon && box.iconPixmap().isNull() &&
                         buttons.size() == 1 && buttons.front()->text() == QLatin1String("OK") &&
                         buttons.front()->icon().isNull();
      seen << (plain ? "" : "NOT PLAIN ") + box.windowTitle() + '|' + box.text();
    });
    window.ShowMessage("一行目\r二行目", "題名");
    AnswerMessagesWith({});
    QCOMPARE(seen, QStringList("題名|一行目\n二行目"));

    // Drops: on the lists that take them, even disabled, with each name's
    // exact bytes; elsewhere, or only to be moved, nothing.
    QApplication::setActiveWindow(&window);  // again, once the menu has gone
    window.Enable(NotingForm::List1, false);
    QMimeData uris;
    uris.setData("text/uri-list",
                 "# note\r\nfile:///a%20b\r\nhttps://example.org/x\r\n"
                 "file://elsewhere/c\r\nfile://localhost/d/\r\nFILE://" +
                     QSysInfo::machineHostName().toUtf8() + "/e%FF\nfile:/f");
    QVERIFY(DropOn(window, uris, list));
    QVERIFY(DropOn(window, uris, window.control(NotingForm::File1)));
    QVERIFY(!DropOn(window, uris, window.control(NotingForm::Text1)));
    QVERIFY(!DropOn(window, uris, list, Qt::MoveAction));
    // Files copied in a file manager are pasted as a drop on the log list;
    // a text box pastes its text.
    auto* copied = new QMimeData;
    copied->setData("x-special/gnome-copied-files", "copy\nfile:///g");
    copied->setText("typed");
    QGuiApplication::clipboard()->setMimeData(copied);
    Press(Qt::Key_V, Qt::ControlModifier, window.control(NotingForm::Command1));
    Press(Qt::Key_V, Qt::ControlModifier, window.control(NotingForm::Text1));
    QCOMPARE(window.Text(NotingForm::Text1), "typed");

    // Esc leaves the main window open; a dialog, modal or beside, closes,
    // unloading once; one beside is made once.
    Press(Qt::Key_Escape);
    QVERIFY(window.isVisible());
    NotingForm dialog, beside;
    QTimer::singleShot(0,
                       [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    window.ShowModal(dialog);
    window.ShowModeless(beside);
    window.ShowModeless(beside);
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top != &window && top->isVisible()) QTest::keyClick(top, Qt::Key_Escape);
    window.Close();
    const QString dropped = "/a b /d /e\uFFFD(inexact) /f";
    QCOMPARE(form.heard, QStringList({"Click 2", "Click 2", "KeyPress 1 13", "KeyUp 1 13",
                                      "DblClick 1", "Change 3", "MenuClick 0", "KeyUp 1 67",
                                      QString("KeyUp 1 %1").arg(Qt::Key_Control), "MenuClick 1",
                                      QString("KeyUp 1 %1").arg(Qt::Key_F3), "ContextMenu 1",
                                      "MenuClick 1", "Timer", "Drop 1 " + dropped,
                                      "Drop 4 " + dropped, "Drop 1 /g", "Change 0", "Unload"}));
    QCOMPARE(dialog.heard + beside.heard, QStringList({"Load", "Unload", "Load", "Unload"}));
    QVERIFY(!window.isVisible());
  }

  void WithoutADisplayTheProgramSaysSoAndEndsWithStatus1() {
    testing::TempDir dir;
    const QString program = QString::fromStdString(dir / "tallyrun");
    QVERIFY(QFile::copy(TALLYRUN_EXE, program) &&
            QFile::copy(TALLYRUN_WINDOW_EXE, program + "-window"));
    // Started from here, it takes this test's surroundings, less its display.
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    for (const char* display : {"", ":4093"}) {
      qputenv("DISPLAY", display);
      QProcess run;
      run.start(program, {});
      QVERIFY(run.waitForFinished() && run.exitStatus() == QProcess::NormalExit);
      QCOMPARE(run.exitCode(), 1);
      const QString errors = QString::fromUtf8(run.readAllStandardError());
      QVERIFY2(errors.startsWith("tallyrun: 画面に接続") && errors.count('\n') == 1,
               qPrintable(errors));
    }
    QVERIFY(!QFile::exists(QString::fromStdString(dir / "Tallyrun.ini")));
  }
};

}  // namespace tallyrun::ui::qt

QTEST_MAIN(tallyrun::ui::qt::QtViewTest)
#include "ui_qt_test.moc"
