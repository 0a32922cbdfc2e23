// The chooser and the about box as a person uses them: real dialogs on the
// offscreen platform, real folders in a temporary place, and the mount list
// put in by the test.
#include <sys/stat.h>

#include "platform/system_env.h"
#include "tests/test_support.h"
#include "tests/ui_test_support.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/log_file_chooser.h"
#include "ui/main/main_window.h"

namespace tallyrun::ui {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Each path is made under `folder`: a folder where it ends in "/", else an empty file.
void Make(const std::string& folder, std::initializer_list<std::string> paths) {
  for (const std::string& path : paths) {
    std::filesystem::create_directories(std::filesystem::path(folder + "/" + path).parent_path());
    if (!path.ends_with('/')) testing::WriteFile(folder + "/" + path, "");
  }
}

QStringList Names(const QListWidget* list) {
  QStringList names;
  for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
  return names;
}

QStringList ChildNames(const QTreeWidgetItem* item) {
  QStringList names;
  for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
  return names;
}

// Each item's full path is the folder list's own record of it.
QTreeWidgetItem* FindFolder(QTreeWidget* dir1, const QString& path) {
  for (QTreeWidgetItemIterator it(dir1); *it != nullptr; ++it) {
    if ((*it)->data(0, Qt::UserRole).toString() == path) return *it;
  }
  return nullptr;
}

// The chooser shown without waiting, so that the test can act in it;
// strFileName is what the showing would leave in the main window's.
struct Chooser {
  explicit Chooser(QString& strFileName, std::vector<platform::Mount> mounts = {{"/", "ext4"}})
      : strFileName(strFileName), dialog(nullptr, [mounts] { return mounts; }) {
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  }
  ~Chooser() { strFileName = dialog.Outcome().value_or(strFileName); }
  QString Result() const { return dialog.Outcome().value_or(strFileName); }

  QString& strFileName;

  Form2 dialog;
  QComboBox* Drive1 = dialog.findChild<QComboBox*>("Drive1");
  QTreeWidget* Dir1 = dialog.findChild<QTreeWidget*>("Dir1");
  QListWidget* File1 = dialog.findChild<QListWidget*>("File1");
  QPushButton* Command1 = dialog.findChild<QPushButton*>("Command1");
};

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void AFileIsTakenByEveryWayButOnlyWhenOneIsSelected() {
    testing::TempDir dir;
    Make(dir.path(), {"logs/a.log", "logs/b.txt"});
    const testing::InFolder here(dir / "logs");

    for (int way = 0; way < 4; ++way) {
      QString strFileName = QStringLiteral("earlier");
      Chooser chooser(strFileName);
      QListWidget* File1 = chooser.File1;
      const auto take = [&](const QPoint& at) {
        if (way == 0) chooser.Command1->click();
        if (way == 1) testing::DoubleClick(File1, at);
        if (way == 2) QTest::keyRelease(File1, Qt::Key_Return);
        if (way == 3)
          QTest::keyRelease(File1, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
      };
      take(QPoint(20, File1->viewport()->height() - 5));  // below the last file
      File1->setCurrentRow(1);
      // Other keys take nothing, nor does a held Enter until it is let go.
      QTest::keyRelease(File1, Qt::Key_Space);
      QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QString(), true);
      QApplication::sendEvent(File1, &repeated);
      QCOMPARE(chooser.Result(), QStringLiteral("earlier"));
      QVERIFY(chooser.dialog.isVisible());

      take(File1->visualItemRect(File1->item(1)).center());
      QCOMPARE(chooser.Result(), Q(dir / "logs/b.txt"));
      QVERIFY(!chooser.dialog.isVisible());
    }
  }

  void TheListsFollowTheFolderHighlightedOnEnterAndOfferOnlyTextAndLogFiles() {
    testing::TempDir dir;
    Make(dir.path(), {"top.log", "Vanishing/", ".hidden/"});
    Make(dir / "sub", {"folder.log/", "b.log", "a.txt", "C.txt", "c.TXT", "d.log.bak", "e.md",
                       "log", ".hidden.log", "x.tar.txt"});
    // Links are followed, a broken one and a FIFO are not offered.
    for (const auto& [target, link] :
         {std::pair{"b.log", "sub/link.log"}, {"-", "sub/bad.log"}, {"sub", "to-sub"}})
      std::filesystem::create_symlink(target, dir / link);
    QCOMPARE(::mkfifo((dir / "sub/fifo.log").c_str(), 0644), 0);
    const testing::InFolder here(dir.path());

    QString strFileName = QStringLiteral("untouched");
    Chooser chooser(strFileName);
    QTreeWidget* Dir1 = chooser.Dir1;
    const QTreeWidgetItem* item = Dir1->invisibleRootItem();
    for (const QString& part : QStringList("/") + Q(dir.path()).split('/', Qt::SkipEmptyParts)) {
      QCOMPARE(ChildNames(item), QStringList(part));
      item = item->child(0);
    }
    QCOMPARE(ChildNames(item), (QStringList{"sub", "to-sub", "Vanishing"}));
    QCOMPARE(Dir1->currentItem(), item);

    // Moving the highlight, or any other key, opens nothing.
    Dir1->setCurrentItem(FindFolder(Dir1, Q(dir / "sub")));
    QTest::keyRelease(Dir1, Qt::Key_A);
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir.path()));

    QTest::keyRelease(Dir1, Qt::Key_Return);
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir / "sub"));
    QCOMPARE(Names(chooser.File1),
             (QStringList{"a.txt", "b.log", "C.txt", "link.log", "x.tar.txt"}));
    // Enter on the current folder itself reads its files again.
    testing::WriteFile(dir / "sub/new.log", "");
    QTest::keyRelease(Dir1, Qt::Key_Enter, Qt::ShiftModifier);
    QVERIFY(Names(chooser.File1).contains("new.log"));
    testing::DoubleClick(Dir1, Dir1->visualItemRect(FindFolder(Dir1, Q(dir.path()))).center());
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir.path()));

    // A folder that vanished while shown: we stay, with both lists read afresh.
    Dir1->setCurrentItem(FindFolder(Dir1, Q(dir / "Vanishing")));
    std::filesystem::remove(dir / "Vanishing");
    testing::WriteFile(dir / "arrived.log", "");
    QTest::keyRelease(Dir1, Qt::Key_Return);
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir.path()));
    QCOMPARE(ChildNames(FindFolder(Dir1, Q(dir.path()))), (QStringList{"sub", "to-sub"}));
    QCOMPARE(Names(chooser.File1), (QStringList{"arrived.log", "top.log"}));
    QCOMPARE(chooser.Result(), QStringLiteral("untouched"));
  }

  void AFailingDriveIsToldOnceAndThePreviousDriveReopensAtItsRoot() {
    testing::TempDir dir;
    Make(dir.path(), {"disk/root.log", "disk/deep/deep.log"});
    const testing::InFolder here(dir / "disk/deep");

    QString strFileName = QStringLiteral("/earlier.log");
    Chooser chooser(strFileName, {{"/", "ext4"}, {dir / "disk", "vfat"}, {"/gone-drive", ""}});
    QCOMPARE(chooser.Drive1->currentText(), Q(dir / "disk") + " [vfat]");

    QCOMPARE(testing::Messages([&] { chooser.Drive1->setCurrentIndex(2); }),
             QStringList("ドライブ情報取得失敗|指定したドライブは現在使用できません。"));
    QCOMPARE(chooser.Drive1->currentIndex(), 1);
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir / "disk"));
    QCOMPARE(Names(chooser.File1), QStringList{"root.log"});
    // With the previous drive gone as well, the top folder opens, once, and
    // is the drive to return to from then on.
    std::filesystem::remove_all(dir / "disk");
    for (int attempt = 0; attempt < 2; ++attempt) {
      QCOMPARE(testing::Messages([&] { chooser.Drive1->setCurrentIndex(2); }).size(), 1);
      QCOMPARE(chooser.Drive1->currentIndex(), 0);
      QCOMPARE(chooser.dialog.Dir1Path(), QStringLiteral("/"));
    }
    QCOMPARE(chooser.Result(), QStringLiteral("/earlier.log"));
    QVERIFY(chooser.dialog.isVisible());
  }

  void DroppingMoreThanOneItemIsRefusedWithAMessage() {
    testing::TempDir dir;
    Make(dir.path(), {"a.log", "b.log"});
    const testing::InFolder here(dir.path());

    QString strFileName = QStringLiteral("/earlier.log");
    Chooser chooser(strFileName);
    const auto drop = [&](const QList<QUrl>& urls) {
      QMimeData data;
      data.setUrls(urls);
      QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, {});
      QApplication::sendEvent(chooser.File1->viewport(), &enter);
      QDropEvent drop({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, {});
      QApplication::sendEvent(chooser.File1->viewport(), &drop);
    };
    const QUrl a = QUrl::fromLocalFile(Q(dir / "a.log")), b = QUrl::fromLocalFile(Q(dir / "b.log"));
    QCOMPARE(testing::Messages([&] { drop({a}); }), QStringList());
    const QStringList told = testing::Messages([&] { drop({a, b}); });
    QCOMPARE(told, QStringList("Ｄ＆Ｄキャンセル|２個以上のオブジェクトを\n"
                               "ドラッグ＆ドロップしないで下さい。"));
    QCOMPARE(chooser.Result(), QStringLiteral("/earlier.log"));
  }

  // Also the outcomes a showing leaves: a taken file, "戻る" with a file
  // selected or without, and the window's own close command.
  void AScreenReaderHearsEveryControlAndTheKeyboardAloneReachesEveryAction() {
    testing::TempDir dir;
    Make(dir.path(), {"top.log", "sub/a.log", "sub/b.txt"});
    const testing::InFolder here(dir.path());
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
      QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };

    QString strFileName;
    {
      Chooser chooser(strFileName);
      // The lists are heard by the headings above them.
      QCOMPARE(testing::Heard(&chooser.dialog, {"Drive1", "Dir1", "File1", "Command1", "Command2"}),
               (QStringList{"トレースログファイル選択", "ドライブ名", "フォルダ名", "ファイル名",
                            "ファイル選択", "戻る"}));
      QCOMPARE(chooser.dialog.focusWidget(), chooser.File1);
      QCOMPARE(testing::TabWalk(chooser.File1, 5),
               (QStringList{"File1", "Command1", "Command2", "Drive1", "Dir1", "File1"}));
      // Down into a folder, the first file taken.
      press(Qt::Key_Backtab, Qt::ShiftModifier);
      press(Qt::Key_Down);
      press(Qt::Key_Return);
      QCOMPARE(Names(chooser.File1), (QStringList{"a.log", "b.txt"}));
      press(Qt::Key_Tab);
      press(Qt::Key_Down);  // the first file, though the focus frame is on it already
      press(Qt::Key_Return);
      QCOMPARE(chooser.Result(), Q(dir / "sub/a.log"));
      QVERIFY(!chooser.dialog.isVisible());
    }
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Space, Qt::Key_Return}) {
      Chooser chooser(strFileName);
      QCOMPARE(chooser.dialog.Dir1Path(), Q(dir.path()));  // not where the last one ended
      QCOMPARE(testing::TabWalk(chooser.File1, 0), QStringList("File1"));
      if (key != Qt::Key_Space) press(Qt::Key_Down);  // a file selected
      if (key != Qt::Key_Escape) QCOMPARE(testing::TabWalk(chooser.File1, 2).back(), "Command2");
      press(key);
      QVERIFY(!chooser.dialog.isVisible());
      QCOMPARE(chooser.Result(), key == Qt::Key_Escape ? Q(dir / "sub/a.log") : QString());
    }
  }

  // With the face the system gives; ctest also runs it with each Japanese
  // face alone and with none (TALLYRUN_TEST_FACE names the face expected,
  // "*" any).
  void EveryCaptionFitsItsControlAndNoControlsOverlap() {
    const QString face = qEnvironmentVariable("TALLYRUN_TEST_FACE");
    if (!face.isEmpty() && face != "*" && !QFontDatabase::hasFamily(face))
      QSKIP("the face is not installed here");
    testing::TempDir dir;
    platform::SystemEnv env;
    Form1 main(env, {dir / "Tallyrun.ini", dir / "Tallyrun.log"}, dir / "Tallyrun.log");
    Form2 chooser(nullptr, [] { return std::vector<platform::Mount>{{"/", "ext4"}}; });
    Form3 about;
    for (QWidget* window : std::initializer_list<QWidget*>{&main, &chooser, &about}) {
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window));
      QCOMPARE(testing::LayoutFaults(window).join("; "), QString());
      if (!face.isEmpty() && face != "*") QCOMPARE(QFontInfo(window->font()).family(), face);
    }
  }

  void TheAboutBoxShowsOneDescriptionEveryTimeAndServesScreenReaderAndKeyboard() {
    const QString description = QStringLiteral(
        "このプログラムは。\r\r\u3000ファイルやフォルダのログを取得するためのものです。"
        "そのファイルやフォルダをウィンドウで表示させることが出来ます。\r\u3000詳しくは「読んで☆."
        "txt」をご覧下さい。");
    for (int showing = 0; showing < 2; ++showing) QCOMPARE(Form3().Label4Caption(), description);
    Form3 about;
    QCOMPARE(about.findChild<QLabel*>("Label4")->text(), QString(description).replace('\r', '\n'));
    about.show();
    auto* Command1 = about.findChild<QPushButton*>("Command1");
    auto* Text1 = about.findChild<QPlainTextEdit*>("Text1");
    QCOMPARE(testing::Heard(&about, {"Label1", "Command1", "Text1"}),
             (QStringList{"バージョン情報", "Tallyrun.exe\u3000Ver 1.02.0000 (2002.06.26)", "戻る",
                          "クレジット"}));
    QCOMPARE(about.focusWidget(), Command1);
    QCOMPARE(testing::TabWalk(Command1, 2, true), (QStringList{"Command1", "Text1", "Command1"}));
    // The credits can be selected from the keyboard, but not changed.
    const QString shown = Text1->toPlainText();
    QTest::keyClicks(Text1, QStringLiteral("x"));
    QTest::keyClick(Text1, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Text1->textCursor().selectedText().size(), shown.size());
    QCOMPARE(Text1->toPlainText(), shown);
    QTest::keyClick(Command1, Qt::Key_Return);
    QVERIFY(!about.isVisible());
  }
};

}  // namespace tallyrun::ui

QTEST_MAIN(tallyrun::ui::DialogsTest)
#include "ui_dialogs_test.moc"
