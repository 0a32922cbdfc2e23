// The chooser and the about box as a person uses them: real dialogs on the
// offscreen platform, real folders in a temporary place, and the mount list
// put in by the test.
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <string>
#include <vector>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "tests/test_support.h"
#include "tests/ui_test_support.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/log_file_chooser.h"

namespace tallyrun::ui {
namespace {

using testing::TempDir;
using testing::WriteFile;

QString Q(const std::string& text) { return QString::fromStdString(text); }

// The dialogs start at the process's current folder.
class InFolder {
 public:
  explicit InFolder(const std::string& folder) : before_(platform::CurrentDirectory()) {
    if (::chdir(folder.c_str()) != 0) qFatal("cannot enter %s", folder.c_str());
  }
  ~InFolder() {
    if (::chdir(before_.c_str()) != 0) qWarning("cannot return to %s", before_.c_str());
  }

 private:
  std::string before_;
};

// Answers every message box as it opens and remembers what it said.
class MessageWatcher {
 public:
  struct Shown {
    QString title;
    QString text;
  };

  MessageWatcher() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(window);
        if (box == nullptr || !box->isVisible()) continue;
        shown.push_back({box->windowTitle(), box->text()});
        box->button(QMessageBox::Ok)->click();
      }
    });
    timer_.start(5);
  }

  std::vector<Shown> shown;

 private:
  QTimer timer_;
};

Form2::MountSource Mounts(std::vector<platform::Mount> mounts) {
  return [mounts] { return mounts; };
}

// Each item's full path is the folder list's own record of it.
QString PathOf(const QTreeWidgetItem* item) { return item->data(0, Qt::UserRole).toString(); }

QStringList Names(const QListWidget* list) {
  QStringList names;
  for (int i = 0; i < list->count(); ++i) names.push_back(list->item(i)->text());
  return names;
}

QStringList ChildNames(const QTreeWidgetItem* item) {
  QStringList names;
  for (int i = 0; i < item->childCount(); ++i) names.push_back(item->child(i)->text(0));
  return names;
}

QTreeWidgetItem* FindFolder(QTreeWidget* dir1, const QString& path) {
  for (QTreeWidgetItemIterator it(dir1); *it != nullptr; ++it) {
    if (PathOf(*it) == path) return *it;
  }
  return nullptr;
}

void Select(QListWidget* list, const QString& name) {
  const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
  QVERIFY2(found.size() == 1, qPrintable(name));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(found.front()).center());
  QVERIFY(found.front()->isSelected());
}

// A person's double-click starts with a click.
void DoubleClick(QAbstractItemView* view, const QPoint& at) {
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

void Drop(QWidget* target, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  const QPointF at(10, 10);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(target, &drop);
}

struct Chooser {
  explicit Chooser(QString& strFileName, Form2::MountSource mounts)
      : dialog(strFileName, nullptr, std::move(mounts)) {
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Drive1 = dialog.findChild<QComboBox*>("Drive1");
    Dir1 = dialog.findChild<QTreeWidget*>("Dir1");
    File1 = dialog.findChild<QListWidget*>("File1");
    Command1 = dialog.findChild<QPushButton*>("Command1");
    Command2 = dialog.findChild<QPushButton*>("Command2");
    QVERIFY(Drive1 && Dir1 && File1 && Command1 && Command2);
  }

  Form2 dialog;
  QComboBox* Drive1 = nullptr;
  QTreeWidget* Dir1 = nullptr;
  QListWidget* File1 = nullptr;
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
};

const QString kDescription = QStringLiteral(
    "このプログラムは。\r\r"
    "　ファイルやフォルダのログを取得するためのものです。"
    "そのファイルやフォルダをウィンドウで表示させることが出来ます。\r"
    "　詳しくは「読んで☆.txt」をご覧下さい。");

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void TakingAFileGivesItsFullPathByAllThreeWays() {
    TempDir dir;
    ::mkdir((dir / "logs").c_str(), 0755);
    WriteFile(dir / "logs/a.log", "");
    WriteFile(dir / "logs/b.txt", "");
    const InFolder here(dir / "logs");
    const auto mounts = Mounts({{"/", "ext4"}});

    for (int way = 0; way < 4; ++way) {
      QString strFileName = QStringLiteral("earlier");
      Chooser chooser(strFileName, mounts);
      Select(chooser.File1, "b.txt");
      switch (way) {
        case 0:
          chooser.Command1->click();
          break;
        case 1:
          DoubleClick(chooser.File1,
                      chooser.File1->visualItemRect(chooser.File1->item(1)).center());
          break;
        case 2:
          QTest::keyRelease(chooser.File1, Qt::Key_A);
          QTest::keyRelease(chooser.File1, Qt::Key_Space);
          {
            // A held Enter repeats; only letting go of it counts.
            QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QString(), true);
            QApplication::sendEvent(chooser.File1, &repeated);
          }
          QCOMPARE(strFileName, QStringLiteral("earlier"));
          QVERIFY(chooser.dialog.isVisible());
          QTest::keyRelease(chooser.File1, Qt::Key_Return);
          break;
        case 3:
          QTest::keyRelease(chooser.File1, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
          break;
      }
      QCOMPARE(strFileName, Q(dir / "logs/b.txt"));
      QVERIFY(!chooser.dialog.isVisible());
    }
  }

  void TakingAFileAtTheTopFolderPutsOneSlash() {
    std::string made = "/tallyrun-dialogs-test-XXXXXX.log";
    const int fd = ::mkstemps(made.data(), 4);
    if (fd < 0) QSKIP("the top folder is not writable here");
    ::close(fd);
    struct Remove {
      std::string path;
      ~Remove() { ::unlink(path.c_str()); }
    } remove{made};
    const InFolder here("/");

    QString strFileName;
    Chooser chooser(strFileName, Mounts({{"/", "ext4"}}));
    QCOMPARE(chooser.dialog.Dir1Path(), QStringLiteral("/"));
    Select(chooser.File1, Q(made.substr(1)));
    chooser.Command1->click();
    QCOMPARE(strFileName, Q(made));
  }

  void NothingSelectedDoesNothingByAnyWay() {
    TempDir dir;
    WriteFile(dir / "a.log", "");
    const InFolder here(dir.path());

    QString strFileName = QStringLiteral("/earlier/choice.log");
    Chooser chooser(strFileName, Mounts({{"/", "ext4"}}));
    QCOMPARE(Names(chooser.File1), QStringList{"a.log"});
    QVERIFY(chooser.File1->selectedItems().isEmpty());

    chooser.Command1->click();
    QTest::keyRelease(chooser.File1, Qt::Key_Return);
    DoubleClick(chooser.File1, QPoint(20, chooser.File1->viewport()->height() - 5));
    QVERIFY(chooser.dialog.isVisible());
    QCOMPARE(strFileName, QStringLiteral("/earlier/choice.log"));
  }

  void GoingBackLeavesTheEmptyTextWithOrWithoutASelection() {
    TempDir dir;
    WriteFile(dir / "a.log", "");
    const InFolder here(dir.path());

    for (const bool selected : {true, false}) {
      QString strFileName = QStringLiteral("/earlier/choice.log");
      Chooser chooser(strFileName, Mounts({{"/", "ext4"}}));
      if (selected) Select(chooser.File1, "a.log");
      // The focused button answers Enter as well as a click.
      chooser.Command2->setFocus();
      QTest::keyClick(chooser.Command2, Qt::Key_Return);
      QVERIFY(strFileName.isEmpty());
      QVERIFY(!chooser.dialog.isVisible());
    }
  }

  void ClosingTheWindowKeepsWhatAnEarlierShowingTook() {
    TempDir dir;
    ::mkdir((dir / "sub").c_str(), 0755);
    WriteFile(dir / "a.log", "");
    WriteFile(dir / "sub/b.log", "");
    const InFolder here(dir.path());
    const auto mounts = Mounts({{"/", "ext4"}});

    QString strFileName;
    {
      Form2 first(strFileName, nullptr, mounts);
      QTimer::singleShot(0, &first, [&first] {
        first.findChild<QListWidget*>("File1")->setCurrentRow(0);
        first.findChild<QPushButton*>("Command1")->click();
      });
      first.exec();
    }
    QCOMPARE(strFileName, Q(dir / "a.log"));

    // Wandering off and selecting, then closing, writes nothing.
    Form2 second(strFileName, nullptr, mounts);
    QCOMPARE(second.Dir1Path(), Q(dir.path()));
    QTimer::singleShot(0, &second, [&second, &dir] {
      auto* Dir1 = second.findChild<QTreeWidget*>("Dir1");
      Dir1->setCurrentItem(FindFolder(Dir1, Q(dir / "sub")));
      QTest::keyRelease(Dir1, Qt::Key_Return);
      second.findChild<QListWidget*>("File1")->setCurrentRow(0);
      second.close();
    });
    second.exec();
    QCOMPARE(strFileName, Q(dir / "a.log"));

    // And the next showing starts at the current folder again.
    Form2 third(strFileName, nullptr, mounts);
    QCOMPARE(third.Dir1Path(), Q(dir.path()));
  }

  void FileListOffersOnlyTextAndLogFiles() {
    TempDir dir;
    for (const char* name : {"b.log", "a.txt", "C.txt", "c.TXT", "d.log.bak", "e.md", "log",
                             ".hidden.log", "x.tar.txt"})
      WriteFile(dir / name, "");
    ::mkdir((dir / "folder.log").c_str(), 0755);
    ::mkdir((dir / "sub").c_str(), 0755);
    ::mkdir((dir / ".config").c_str(), 0755);
    ::mkfifo((dir / "pipe.log").c_str(), 0644);
    QCOMPARE(::symlink("a.txt", (dir / "link.txt").c_str()), 0);
    QCOMPARE(::symlink("missing.txt", (dir / "broken.txt").c_str()), 0);
    const InFolder here(dir.path());

    QString strFileName;
    Chooser chooser(strFileName, Mounts({{"/", "ext4"}}));
    QCOMPARE(Names(chooser.File1),
             (QStringList{"a.txt", "b.log", "C.txt", "link.txt", "x.tar.txt"}));
    QCOMPARE(ChildNames(FindFolder(chooser.Dir1, Q(dir.path()))),
             (QStringList{"folder.log", "sub"}));
  }

  void FolderListShowsTheWayDownTheCurrentFolderAndItsSubfolders() {
    TempDir dir;
    for (const char* folder : {"a", "a/b", "a/b/Zeta", "a/b/alpha", "a/b/.hidden", "a/sibling"})
      ::mkdir((dir / folder).c_str(), 0755);
    const InFolder here(dir / "a/b");

    QString strFileName;
    Chooser chooser(strFileName, Mounts({{"/", "ext4"}}));
    const QStringList way = Q(dir / "a/b").split('/', Qt::SkipEmptyParts);
    const QTreeWidgetItem* item = chooser.Dir1->topLevelItem(0);
    QCOMPARE(chooser.Dir1->topLevelItemCount(), 1);
    QCOMPARE(item->text(0), QStringLiteral("/"));
    for (const QString& part : way) {
      QCOMPARE(item->childCount(), 1);
      item = item->child(0);
      QCOMPARE(item->text(0), part);
    }
    QCOMPARE(PathOf(item), Q(dir / "a/b"));
    QCOMPARE(ChildNames(item), (QStringList{"alpha", "Zeta"}));
    QCOMPARE(chooser.Dir1->currentItem(), item);
    QVERIFY(item->isSelected());
  }

  void EnterReleasedInTheFolderListOpensTheHighlightedFolder() {
    TempDir dir;
    ::mkdir((dir / "sub").c_str(), 0755);
    WriteFile(dir / "top.log", "");
    WriteFile(dir / "sub/inner.txt", "");
    const InFolder here(dir.path());

    QString strFileName = QStringLiteral("untouched");
    Chooser chooser(strFileName, Mounts({{"/", "ext4"}}));
    QTreeWidget* Dir1 = chooser.Dir1;
    Dir1->setFocus();

    // The keyboard moves the highlight and opens nothing.
    QTest::keyClick(Dir1, Qt::Key_Down);
    QCOMPARE(PathOf(Dir1->currentItem()), Q(dir / "sub"));
    QTest::keyRelease(Dir1, Qt::Key_A);
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir.path()));
    QCOMPARE(Names(chooser.File1), QStringList{"top.log"});

    QTest::keyRelease(Dir1, Qt::Key_Return);
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir / "sub"));
    QCOMPARE(Names(chooser.File1), QStringList{"inner.txt"});

    // Enter on the current folder itself reads its files again.
    WriteFile(dir / "sub/new.log", "");
    QCOMPARE(Names(chooser.File1), QStringList{"inner.txt"});
    QTest::keyRelease(Dir1, Qt::Key_Enter, Qt::ShiftModifier);
    QCOMPARE(Names(chooser.File1), (QStringList{"inner.txt", "new.log"}));

    // Double-click on an ancestor goes back up.
    const QTreeWidgetItem* parent = FindFolder(Dir1, Q(dir.path()));
    DoubleClick(Dir1, Dir1->visualItemRect(parent).center());
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir.path()));
    QCOMPARE(Names(chooser.File1), QStringList{"top.log"});
    QCOMPARE(strFileName, QStringLiteral("untouched"));
  }

  void AVanishedFolderLeavesTheListsWhereTheyWereRefreshed() {
    TempDir dir;
    ::mkdir((dir / "gone").c_str(), 0755);
    ::mkdir((dir / "kept").c_str(), 0755);
    const InFolder here(dir.path());

    QString strFileName;
    Chooser chooser(strFileName, Mounts({{"/", "ext4"}}));
    QTreeWidget* Dir1 = chooser.Dir1;
    Dir1->setCurrentItem(FindFolder(Dir1, Q(dir / "gone")));
    ::rmdir((dir / "gone").c_str());
    WriteFile(dir / "arrived.log", "");

    QTest::keyRelease(Dir1, Qt::Key_Return);
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir.path()));
    QCOMPARE(ChildNames(FindFolder(Dir1, Q(dir.path()))), QStringList{"kept"});
    QCOMPARE(Names(chooser.File1), QStringList{"arrived.log"});
  }

  void DriveListOffersMountsAndStartsOnTheOneHoldingTheCurrentFolder() {
    TempDir dir;
    ::mkdir((dir / "disk").c_str(), 0755);
    ::mkdir((dir / "disk/deep").c_str(), 0755);
    ::mkdir((dir / "disk-other").c_str(), 0755);
    const InFolder here(dir / "disk/deep");

    QString strFileName;
    Chooser chooser(strFileName, Mounts({{"/", "ext4"},
                                         {dir / "disk", "vfat"},
                                         {dir / "disk-other", "ext4"},
                                         {dir / "disk/deep/er", "xfs"}}));
    QStringList entries;
    for (int i = 0; i < chooser.Drive1->count(); ++i)
      entries.push_back(chooser.Drive1->itemText(i));
    QCOMPARE(entries,
             (QStringList{"/ [ext4]", Q(dir / "disk") + " [vfat]",
                          Q(dir / "disk-other") + " [ext4]", Q(dir / "disk/deep/er") + " [xfs]"}));
    QCOMPARE(chooser.Drive1->currentIndex(), 1);
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir / "disk/deep"));

    // Choosing a drive opens its root.
    WriteFile(dir / "disk-other/other.log", "");
    chooser.Drive1->setCurrentIndex(2);
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir / "disk-other"));
    QCOMPARE(Names(chooser.File1), QStringList{"other.log"});

    // With no mount holding the current folder, the top folder stands in.
    Chooser bare(strFileName, Mounts({}));
    QCOMPARE(bare.Drive1->count(), 1);
    QCOMPARE(bare.Drive1->currentText(), QStringLiteral("/"));
  }

  void ADriveThatFailsIsToldOnceAndThePreviousDriveReopensAtItsRoot() {
    TempDir dir;
    ::mkdir((dir / "disk").c_str(), 0755);
    ::mkdir((dir / "disk/deep").c_str(), 0755);
    WriteFile(dir / "disk/root.log", "");
    WriteFile(dir / "disk/deep/deep.log", "");
    const InFolder here(dir / "disk/deep");

    QString strFileName = QStringLiteral("/earlier.log");
    Chooser chooser(strFileName,
                    Mounts({{dir / "disk", "ext4"}, {"/nonexistent-tallyrun-drive", "vfat"}}));
    QCOMPARE(Names(chooser.File1), QStringList{"deep.log"});

    MessageWatcher messages;
    chooser.Drive1->setCurrentIndex(1);
    QCOMPARE(messages.shown.size(), 1u);
    QCOMPARE(messages.shown[0].text, QStringLiteral("指定したドライブは現在使用できません。"));
    QCOMPARE(messages.shown[0].title, QStringLiteral("ドライブ情報取得失敗"));
    QCOMPARE(chooser.Drive1->currentIndex(), 0);
    QCOMPARE(chooser.dialog.Dir1Path(), Q(dir / "disk"));
    QCOMPARE(Names(chooser.File1), QStringList{"root.log"});
    QCOMPARE(strFileName, QStringLiteral("/earlier.log"));
    QVERIFY(chooser.dialog.isVisible());
  }

  void WhenThePreviousDriveFailsTooTheTopFolderOpensOnce() {
    TempDir dir;
    ::mkdir((dir / "stick").c_str(), 0755);
    QString strFileName;
    std::unique_ptr<Chooser> chooser;
    {
      const InFolder here(dir / "stick");
      chooser = std::make_unique<Chooser>(
          strFileName,
          Mounts(
              {{"/", "ext4"}, {dir / "stick", "vfat"}, {"/nonexistent-tallyrun-drive", "vfat"}}));
    }
    QCOMPARE(chooser->Drive1->currentIndex(), 1);
    ::rmdir((dir / "stick").c_str());

    MessageWatcher messages;
    chooser->Drive1->setCurrentIndex(2);
    QCOMPARE(messages.shown.size(), 1u);
    QCOMPARE(chooser->Drive1->currentIndex(), 0);
    QCOMPARE(chooser->dialog.Dir1Path(), QStringLiteral("/"));

    // The top folder is now the drive to return to.
    chooser->Drive1->setCurrentIndex(2);
    QCOMPARE(messages.shown.size(), 2u);
    QCOMPARE(chooser->Drive1->currentIndex(), 0);
    QCOMPARE(chooser->dialog.Dir1Path(), QStringLiteral("/"));
  }

  void DroppingMoreThanOneItemIsRefusedWithAMessage() {
    TempDir dir;
    WriteFile(dir / "a.log", "");
    WriteFile(dir / "b.log", "");
    const InFolder here(dir.path());

    QString strFileName = QStringLiteral("/earlier.log");
    Chooser chooser(strFileName, Mounts({{"/", "ext4"}}));
    MessageWatcher messages;

    Drop(chooser.File1->viewport(), {QUrl::fromLocalFile(Q(dir / "a.log"))});
    QTest::qWait(50);
    QVERIFY(messages.shown.empty());

    Drop(chooser.File1->viewport(),
         {QUrl::fromLocalFile(Q(dir / "a.log")), QUrl::fromLocalFile(Q(dir / "b.log"))});
    QTRY_COMPARE(messages.shown.size(), 1u);
    QCOMPARE(messages.shown[0].title, QStringLiteral("Ｄ＆Ｄキャンセル"));
    QCOMPARE(messages.shown[0].text, QStringLiteral("２個以上のオブジェクトを\n"
                                                    "ドラッグ＆ドロップしないで下さい。"));
    QCOMPARE(strFileName, QStringLiteral("/earlier.log"));
    QCOMPARE(Names(chooser.File1), (QStringList{"a.log", "b.log"}));
    QVERIFY(chooser.dialog.isVisible());
  }

  void ChooserControlsHaveTheirNamesFontsAndFirstFocus() {
    TempDir dir;
    const InFolder here(dir.path());
    QString strFileName;
    Chooser chooser(strFileName, Mounts({{"/", "ext4"}}));
    Form2& dialog = chooser.dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("トレースログファイル選択"));
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Frame1"})
      QVERIFY2(dialog.findChild<QWidget*>(name) != nullptr, name);
    QVERIFY(chooser.Command1->font().bold() && chooser.Command1->font().underline());
    QVERIFY(chooser.Command2->font().bold() && !chooser.Command2->font().underline());
    QCOMPARE(dialog.focusWidget(), chooser.File1);
  }

  void AScreenReaderHearsEveryControlByItsCaptionOrHeading() {
    TempDir dir;
    ::mkdir((dir / "sub").c_str(), 0755);
    WriteFile(dir / "a.log", "");
    const InFolder here(dir.path());
    QString strFileName;
    Chooser chooser(strFileName, Mounts({{"/", "ext4"}}));
    const QString label4 =
        QStringLiteral("ファイルを選択して「ファイル選択」ボタンを押してください。");
    auto view = testing::ReadAccessibleView(&chooser.dialog);
    QCOMPARE(view.controls, (QMap<QString, QString>{{"Label1", "ドライブ名"},
                                                    {"Label2", "フォルダ名"},
                                                    {"Label3", "ファイル名"},
                                                    {"File1", "ファイル名"},
                                                    {"Frame1", ""},
                                                    {"Command1", "ファイル選択"},
                                                    {"Command2", "戻る"},
                                                    {"Drive1", "ドライブ名"},
                                                    {"Dir1", "フォルダ名"},
                                                    {"Label4", label4}}));
    QVERIFY2(view.unnamed.isEmpty(), qPrintable(view.unnamed.join(", ")));
    // The drive list's own name is its current entry, as on every Linux
    // desktop; its heading above comes from the label that names it.
    QCOMPARE(QAccessible::queryAccessibleInterface(chooser.Drive1)->text(QAccessible::Value),
             QStringLiteral("/ [ext4]"));
    QCOMPARE(testing::AccessibleRows(chooser.File1), QStringList("a.log"));
    QVERIFY(testing::AccessibleRows(chooser.Dir1).endsWith("sub"));

    Form3 about;
    about.show();
    view = testing::ReadAccessibleView(&about);
    QCOMPARE(view.controls,
             (QMap<QString, QString>{{"Frame1", ""},
                                     {"Label1", "Tallyrun.exe\u3000Ver 1.02.0000 (2002.06.26)"},
                                     {"Command1", "戻る"},
                                     {"Label4", QString(kDescription).replace('\r', '\n')},
                                     {"Frame2", ""},
                                     {"Text1", "クレジット"}}));
    QVERIFY2(view.unnamed.isEmpty(), qPrintable(view.unnamed.join(", ")));
    QCOMPARE(QAccessible::queryAccessibleInterface(&about)->text(QAccessible::Name),
             QStringLiteral("バージョン情報"));
  }

  void TheKeyboardAloneReachesEveryControlInTabOrderAndEveryAction() {
    TempDir dir;
    for (const char* folder : {"disk", "disk/sub", "other"}) ::mkdir((dir / folder).c_str(), 0755);
    for (const char* file : {"disk/top.log", "disk/sub/a.log", "disk/sub/b.txt", "other/o.log"})
      WriteFile(dir / file, "");
    const InFolder here(dir / "disk");
    const auto mounts = Mounts({{dir / "disk", "ext4"}, {dir / "other", "vfat"}});
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
      QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };

    QString strFileName = QStringLiteral("/earlier.log");
    {
      Chooser chooser(strFileName, mounts);
      QCOMPARE(testing::TabWalk(chooser.File1, 5),
               (QStringList{"File1", "Command1", "Command2", "Drive1", "Dir1", "File1"}));
      QCOMPARE(testing::TabWalk(chooser.File1, 5, true),
               (QStringList{"File1", "Dir1", "Drive1", "Command2", "Command1", "File1"}));
      // Another drive and back, down into a folder, the first file taken.
      press(Qt::Key_Backtab, Qt::ShiftModifier);
      press(Qt::Key_Backtab, Qt::ShiftModifier);
      press(Qt::Key_Down);
      QCOMPARE(Names(chooser.File1), QStringList("o.log"));
      press(Qt::Key_Up);
      press(Qt::Key_Tab);
      press(Qt::Key_Down);
      press(Qt::Key_Return);
      QCOMPARE(Names(chooser.File1), (QStringList{"a.log", "b.txt"}));
      press(Qt::Key_Tab);
      press(Qt::Key_Down);  // the first file, though the focus frame is on it already
      press(Qt::Key_Return);
      QCOMPARE(strFileName, Q(dir / "disk/sub/a.log"));
      QVERIFY(!chooser.dialog.isVisible());
    }
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
      Chooser chooser(strFileName, mounts);
      QCOMPARE(testing::TabWalk(chooser.File1, 1).back(), QStringLiteral("Command1"));
      press(key);  // nothing chosen: nothing taken
      QVERIFY(chooser.dialog.isVisible());
      press(Qt::Key_Tab);
      press(key);  // "戻る"
      QVERIFY(strFileName.isEmpty());
      QVERIFY(!chooser.dialog.isVisible());
      strFileName = QStringLiteral("/earlier.log");
    }
    {
      Chooser chooser(strFileName, mounts);
      QCOMPARE(testing::TabWalk(chooser.File1, 0), QStringList("File1"));
      press(Qt::Key_Escape);  // the window's own close command
      QVERIFY(!chooser.dialog.isVisible());
      QCOMPARE(strFileName, QStringLiteral("/earlier.log"));
    }

    // The about box: the credits can be read and selected from the keyboard.
    for (const Qt::Key close : {Qt::Key_Return, Qt::Key_Escape}) {
      Form3 about;
      about.show();
      auto* Command1 = about.findChild<QPushButton*>("Command1");
      auto* Text1 = about.findChild<QPlainTextEdit*>("Text1");
      QCOMPARE(testing::TabWalk(Command1, 2), (QStringList{"Command1", "Text1", "Command1"}));
      QCOMPARE(testing::TabWalk(Command1, 2, true), (QStringList{"Command1", "Text1", "Command1"}));
      press(Qt::Key_Tab);
      press(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
      QCOMPARE(Text1->textCursor().selectedText().size(), Text1->toPlainText().size());
      press(Qt::Key_Tab);
      press(close);
      QVERIFY(!about.isVisible());
    }
  }

  void AboutBoxShowsTheSameDescriptionEveryTime() {
    for (int showing = 0; showing < 2; ++showing) {
      Form3 about;
      QVERIFY(!about.isVisible());
      auto* Command1 = about.findChild<QPushButton*>("Command1");
      QVERIFY(Command1 != nullptr);
      bool modal = false;
      QWidget* focused = nullptr;
      QTimer::singleShot(0, &about, [&] {
        modal = QApplication::activeModalWidget() == &about;
        focused = about.focusWidget();
        Command1->click();
      });
      about.exec();
      QVERIFY(!about.isVisible());
      QVERIFY(modal);
      QCOMPARE(focused, Command1);

      const QString caption = about.Label4Caption();
      QCOMPARE(caption, kDescription);
      QCOMPARE(caption.size(), 91);
      const QStringList lines = caption.split(QLatin1Char('\r'));
      QCOMPARE(lines.size(), 4);
      QVERIFY(lines[0].endsWith(QStringLiteral("。")));
      QVERIFY(lines[1].isEmpty());
      QVERIFY(lines[2].startsWith(QChar(0x3000)));
      QVERIFY(lines[3].startsWith(QChar(0x3000)));
      const auto* Label4 = about.findChild<QLabel*>("Label4");
      QVERIFY(Label4 != nullptr);
      QCOMPARE(Label4->text(), lines.join(QLatin1Char('\n')));
    }
  }

  void AboutBoxShowsTheVersionAndReadOnlyCredits() {
    Form3 about;
    QCOMPARE(about.windowTitle(), QStringLiteral("バージョン情報"));
    const auto* Label1 = about.findChild<QLabel*>("Label1");
    QVERIFY(Label1 != nullptr);
    QCOMPARE(Label1->text(), QStringLiteral("Tallyrun.exe\u3000Ver 1.02.0000 (2002.06.26)"));

    const QString credits = about.Text1Text();
    QVERIFY(credits.endsWith(QStringLiteral("\r\n")));
    QVERIFY(credits.count(QStringLiteral("\r\n")) >= 2);
    QCOMPARE(credits.count(QLatin1Char('\r')), credits.count(QLatin1Char('\n')));
    auto* Text1 = about.findChild<QPlainTextEdit*>("Text1");
    QVERIFY(Text1 != nullptr);
    QVERIFY(Text1->isReadOnly());
    QCOMPARE(Text1->toPlainText(), QString(credits).replace(QStringLiteral("\r\n"), "\n"));
    QTest::keyClicks(Text1, QStringLiteral("x"));
    QCOMPARE(about.Text1Text(), credits);
    QVERIFY(!Text1->toPlainText().contains(QLatin1Char('x')));
  }
};

}  // namespace tallyrun::ui

QTEST_MAIN(tallyrun::ui::DialogsTest)
#include "ui_dialogs_test.moc"
