// The main window driven as a user would drive it: its controls as seen and
// as heard, drops, bad log places and damaged logs, other recorders writing
// at the same moment, opening entries, the chooser and closing; with real
// files in a temporary folder, a fake xdg-open first on PATH and a file
// manager on a private bus.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QtDBus>

#include <fstream>

#include "tests/test_support.h"
#include "tests/ui_test_support.h"
#include "ui/dialogs/log_file_chooser.h"
#include "ui/main/main_window.h"

using namespace tallyrun::testing;
using tallyrun::ui::Form1;

namespace {

const std::string kNowText = "2024/05/06 7:08:09";
const tallyrun::LocalTime kModified{2020, 1, 2, 3, 4, 5};
QListView* List1(Form1& form) { return form.findChild<QListView*>("List1"); }
QLineEdit* Text1(Form1& form) { return form.findChild<QLineEdit*>("Text1"); }
QPushButton* Command1(Form1& form) { return form.findChild<QPushButton*>("Command1"); }
QPushButton* Command3(Form1& form) { return form.findChild<QPushButton*>("Command3"); }

constexpr Qt::DropActions kAnyAction = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
constexpr int kRecorders = 8;
constexpr int kItems = 2000;
constexpr int kPerDrop = 10;

std::string Quoted(const std::string& path, const std::string& modified = "2020/01/02 3:04:05") {
  return "\"" + kNowText + "\t" + path + "\t" + modified + "\"\r\n";
}

std::string Bare(const std::string& path, const std::string& moment = kNowText) {
  return moment + "\t" + path + "\t2020/01/02 3:04:05\r\n";
}

QString Entry(const std::string& path, const std::string& moment = kNowText) {
  return QString::fromStdString(moment + "|" + path);
}

QByteArray Uri(const std::string& path) {
  return "file://" + QByteArray::fromStdString(path).toPercentEncoding("/");
}

QByteArray UriList(const std::vector<std::string>& paths) {
  QByteArray list;
  for (const std::string& p : paths) list += Uri(p) + "\r\n";
  return list;
}

void AppendTo(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

void MakeFolder(const std::string& path) { QCOMPARE(::mkdir(path.c_str(), 0755), 0); }

std::vector<std::string> MakeFiles(const TempDir& dir, const std::vector<std::string>& names) {
  std::vector<std::string> paths;
  for (const std::string& name : names) {
    paths.push_back(dir / name);
    WriteFile(paths.back(), name);
    SetModified(paths.back(), kModified);
  }
  return paths;
}

QStringList Entries(Form1& form) {
  QStringList entries;
  const QAbstractItemModel* model = List1(form)->model();
  for (int row = 0; row < model->rowCount(); ++row)
    entries << model->index(row, 0).data().toString();
  return entries;
}

// Drags `data` over the window onto `on` and lets go, as the windowing
// system does: through the window, which picks the widget under the cursor.
// `meanwhile` runs after the drop and before the window records it.
bool DropOn(Form1& form, const QMimeData& data, const QWidget* on,
            Qt::DropActions actions = kAnyAction, const std::function<void()>& meanwhile = {}) {
  const QPoint at = on->geometry().center();
  QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.windowHandle(), &enter);
  QCoreApplication::sendEvent(form.windowHandle(), &move);
  if (!enter.isAccepted() || !move.isAccepted()) {
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(form.windowHandle(), &leave);
    return false;
  }
  QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.windowHandle(), &drop);
  if (meanwhile) meanwhile();
  QCoreApplication::processEvents();  // recording follows the drop
  return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

bool Drop(Form1& form, const QByteArray& uri_list, const std::function<void()>& meanwhile = {}) {
  QMimeData data;
  data.setData(QStringLiteral("text/uri-list"), uri_list);
  return DropOn(form, data, List1(form), kAnyAction, meanwhile);
}

void DoubleClick(Form1& form, int row) {
  QListView* list = List1(form);
  tallyrun::testing::DoubleClick(list, list->visualRect(list->model()->index(row, 0)).center());
}

void PressOn(Form1& form, int row, Qt::Key key) {
  List1(form)->setCurrentIndex(List1(form)->model()->index(row, 0));
  QTest::keyClick(List1(form), key);
}

// Lines an observer wrote, once there are `count` of them (or after 5 s).
QStringList LinesOnceThere(const std::string& file, int count) {
  const auto lines = [&file] {
    return QString::fromStdString(ReadFile(file)).split('\n', Qt::SkipEmptyParts);
  };
  (void)QTest::qWaitFor([&] { return lines().size() >= count; }, 5000);
  return lines();
}

bool FileManagerOnBus() {
  return QDBusConnection::sessionBus()
      .interface()
      ->isServiceRegistered(QStringLiteral("org.freedesktop.FileManager1"))
      .value();
}

void ReloadBusConfig() {
  const QDBusMessage reply = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
      "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ReloadConfig"));
  QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
}

}  // namespace

// The real system with the clock pinned, noting the cursor shown while a
// batch is appended.
class CursorNotingEnv : public PinnedClockEnv {
 public:
  using PinnedClockEnv::PinnedClockEnv;
  tallyrun::Status AppendLines(const std::string& path, std::string_view lines) override {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    cursor_while_appending = cursor != nullptr ? cursor->shape() : -1;
    return PinnedClockEnv::AppendLines(path, lines);
  }
  int cursor_while_appending = -1;
};

class UiMainTest : public QObject {
  Q_OBJECT

  CursorNotingEnv env_{{2024, 5, 6, 7, 8, 9}};
  TempDir tools_;
  std::string opened_ = tools_ / "opened";  // what the fake xdg-open was asked
  std::unique_ptr<TempDir> dir_;
  tallyrun::SettingsLocation location_;
  std::string log_;

  // Start-up's part: the window shown, the log file put into Text1, the list read.
  std::unique_ptr<Form1> StartedWith(const std::string& log_file) {
    auto form = std::make_unique<Form1>(env_, location_, log_file);
    form->show();
    form->SetText1(QString::fromStdString(log_file));
    form->GetListFromLogFile();
    return form;
  }

 private slots:
  void initTestCase() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected() && !FileManagerOnBus(),
             "run under dbus-run-session with the tests' own bus, as ctest does");
    const std::string bin = tools_ / "bin";
    MakeFolder(bin);
    WriteFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$*\" >>'" + opened_ + "'\n");
    QCOMPARE(::chmod((bin + "/xdg-open").c_str(), 0755), 0);
    qputenv("PATH", QByteArray::fromStdString(bin) + ':' + qgetenv("PATH"));
  }

  void init() {
    dir_ = std::make_unique<TempDir>();
    log_ = *dir_ / "Tallyrun.log";
    location_ = {*dir_ / "Tallyrun.ini", log_};
    WriteFile(opened_, "");
  }

  void cleanup() { dir_.reset(); }

  void EveryControlIsHeardAndReachedByTheKeyboard() {
    const auto files = MakeFiles(*dir_, {"a.txt", "copied.txt"});
    const std::string earlier = Bare("/b\x01" + std::string("c")) + Bare(files[0]);
    WriteFile(log_, earlier);
    const auto form = StartedWith(log_);
    const QString label1 = QStringLiteral("● ログファイル保存場所（ファイル名）");
    const QString label3 = QStringLiteral("● 書き込まれたログ（一番上が最新）");
    // A screen reader reads the caption, or for the text box and the list the
    // label that heads them.
    QCOMPARE(
        Heard(form.get(),
              {"Label1", "Text1", "Command1", "List1", "Label3", "Command2", "Command3", "Label2"}),
        QStringList({"ファイルログ作成ツール", label1, label1, "選択", label3, label3, "？", "終了",
                     "↑このリストボックスに、ログを取りたいファイルやフォルダをドラッグ＆"
                     "ドロップしてください。"}));
    // How to record from the keyboard is told where the records are.
    QVERIFY(QAccessible::queryAccessibleInterface(List1(*form))
                ->text(QAccessible::Description)
                .contains(QStringLiteral("Ctrl+V")));
    QCOMPARE(TabWalk(Text1(*form), 5),
             QStringList({"Text1", "Command1", "List1", "Command2", "Command3", "Text1"}));

    // Enter on "選択", Enter on the list's entry, Space on "？".
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
      QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };
    QStringList shown;
    const auto answer = [&](QWidget* modal) {
      shown << modal->metaObject()->className();
      QTest::keyClick(modal->focusWidget(),
                      modal->inherits("tallyrun::ui::Form2") ? Qt::Key_Escape : Qt::Key_Return);
    };
    // The desktop hands the focus back once a dialog has gone; offscreen, we do.
    const auto back = [&form] {
      QApplication::setActiveWindow(form.get());
      return QTest::qWaitForWindowActive(form.get());
    };
    Text1(*form)->setFocus();
    press(Qt::Key_Tab);
    WhileModal([&] { press(Qt::Key_Return); }, answer);
    QVERIFY(back());
    press(Qt::Key_Tab);
    press(Qt::Key_Down);  // the top entry, though the focus frame is on it already
    press(Qt::Key_Return);
    press(Qt::Key_Tab);
    WhileModal([&] { press(Qt::Key_Space); }, answer);
    QVERIFY(back());
    QCOMPARE(shown, QStringList({"tallyrun::ui::Form2", "tallyrun::ui::Form3"}));
    QCOMPARE(LinesOnceThere(opened_, 1), QStringList(QString::fromStdString(dir_->path())));

    // Instead of a drop, files copied in the file manager are pasted anywhere
    // but in the text box, which pastes text; GNOME's form works as well.
    auto* copied = new QMimeData;
    copied->setData("x-special/gnome-copied-files", "copy\n" + Uri(files[1]));
    copied->setText(QStringLiteral("/typed.log"));
    QGuiApplication::clipboard()->setMimeData(copied);
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(ReadFile(log_), earlier + Quoted(files[1]));
    Text1(*form)->selectAll();
    Text1(*form)->setFocus();
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Text1(*form)->text(), QStringLiteral("/typed.log"));
    Text1(*form)->setText(QString::fromStdString(log_));
    auto* uris = new QMimeData;
    uris->setData("text/uri-list", UriList({files[0]}));
    QGuiApplication::clipboard()->setMimeData(uris);
    Command3(*form)->setFocus();
    press(Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(Entries(*form),
             QStringList({Entry(files[0]), Entry(files[1]), Entry(files[0]), Entry("/b␁c")}));
    press(Qt::Key_Return);  // on "終了"
    QVERIFY(!form->isVisible());
  }

  void DropsOnTheListAreRecordedQuotedInDropOrderAndReloadTheSame() {
    const auto files = MakeFiles(*dir_, {"b c.txt", "B", "日本語 C", "D"});
    const std::string folder = *dir_ / "a";
    MakeFolder(folder);
    SetModified(folder, kModified);
    const auto form = StartedWith(log_);
    // No local item, not on the list, or only to be moved: nothing happens.
    QMimeData text, move_only;
    text.setText(QString::fromStdString(dir_->path()));
    move_only.setData("text/uri-list", UriList({files[0]}));
    QVERIFY(Messages([&] {
              QVERIFY(
                  Drop(*form, "# a comment\r\nhttps://example.org/a\r\nfile://elsewhere/x\r\n"));
              QVERIFY(!DropOn(*form, text, List1(*form)));
              QVERIFY(!DropOn(*form, move_only, List1(*form), Qt::MoveAction));
              QVERIFY(!DropOn(*form, move_only, Text1(*form)));
              QVERIFY(!DropOn(*form, move_only, form->findChild<QLabel*>("Label2")));
            }).isEmpty());
    QVERIFY(!std::filesystem::exists(log_));
    WriteFile(log_, "");
    form->GetListFromLogFile();
    QVERIFY(!List1(*form)->isEnabled());

    // The list takes drops while it is empty and disabled; while the log is
    // written (another program may hold it for a while) the cursor says so.
    QVERIFY(Drop(*form, UriList({folder, files[0]})));
    QCOMPARE(env_.cursor_while_appending, static_cast<int>(Qt::WaitCursor));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    QVERIFY(List1(*form)->isEnabled());

    const auto encoded = [](const std::string& path) { return Uri(path).mid(7); };
    QVERIFY(Drop(*form, "file://localhost" + encoded(files[1]) + "\r\nFILE://" +
                            QSysInfo::machineHostName().toUtf8() + encoded(files[2]) +
                            "\nfile:" + encoded(files[0]) + "\r\nfile://" +
                            QByteArray::fromStdString(files[3]) + "\r\n" + Uri(folder) + "/"));
    QCOMPARE(ReadFile(log_), Quoted(folder + "/") + Quoted(files[0]) + Quoted(files[1]) +
                                 Quoted(files[2]) + Quoted(files[0]) + Quoted(files[3]) +
                                 Quoted(folder + "/"));
    const QStringList expected{Entry(folder + "/"), Entry(files[3]), Entry(files[0]),
                               Entry(files[2]),     Entry(files[1]), Entry(files[0]),
                               Entry(folder + "/")};
    QCOMPARE(Entries(*form), expected);
    form->GetListFromLogFile();
    QCOMPARE(Entries(*form), expected);
  }

  void ADropOnAPlaceThatCannotTakeTheLogIsRefusedAtOnceAndChangesNothing() {
    WriteFile(log_, Bare("/a"));
    const std::string item = *dir_ / "item.txt", fifo = *dir_ / "fifo";
    WriteFile(item, "x");
    QCOMPARE(::mkfifo(fifo.c_str(), 0644), 0);
    // A window stuck on the FIFO ends the run rather than hanging it.
    ::alarm(20);
    const auto disarm = qScopeGuard([] { ::alarm(0); });
    const auto form = StartedWith(log_);
    const QStringList shown = Entries(*form);
    Text1(*form)->setText(QString::fromStdString(fifo));  // typed: no reload
    QCOMPARE(Messages([&] { QVERIFY(Drop(*form, UriList({item}))); }),
             QStringList("ログ書き込み中断|ログファイル「" + QString::fromStdString(fifo) +
                         "」に書き込めません。\n理由：通常のファイルではありません"));
    QCOMPARE(Entries(*form), shown);
    QCOMPARE(ReadFile(log_), Bare("/a"));
    // Read as a log, it shows nothing and says nothing.
    QVERIFY(Messages([&] { form->GetListFromLogFile(); }).isEmpty());
    QCOMPARE(Entries(*form), QStringList());
    QVERIFY(!List1(*form)->isEnabled());
  }

  // Shown as far as any real path goes: laying out all of a huge one would
  // stall every repaint.
  void AHugeRecordIsShownCutAndTheListTakesDropsAfterIt() {
    const std::string item = MakeFiles(*dir_, {"item.txt"}).front();
    const std::string text = Bare("/a") + "M2\t/" + std::string(300 << 10, 'y') + "\tD\r\n";
    const QStringList shown{"M2|/" + QString(4096 + 20 - 4, 'y') + "…", Entry("/a")};
    WriteFile(log_, text);
    const auto form = StartedWith(log_);
    QCOMPARE(Entries(*form), shown);
    QVERIFY(Drop(*form, UriList({item})));
    QCOMPARE(ReadFile(log_), text + Quoted(item));
    // Followed on, the log's next record arrives; the drop is not listed again.
    AppendTo(log_, Bare("/next"));
    QTRY_COMPARE(Entries(*form), QStringList({Entry("/next"), Entry(item)}) + shown);
  }

  void AwkwardDroppedNamesAreRecordedExactlyOrRefusedWithAMessage() {
    const std::string good = MakeFiles(*dir_, {"good.txt"}).front(), deleted = *dir_ / "gone.txt";
    WriteFile(deleted, "x");
    const auto odd = MakeFiles(*dir_, {"a\tb", "c\rd", "e\nf", "g\xff.txt"});
    // How a toolkit that holds names as Unicode sends the name that is not UTF-8.
    const QByteArray mangled = Uri(*dir_ / "g\uFFFD.txt");
    const auto form = StartedWith(log_);
    const QStringList messages = Messages([&] {
      Drop(*form, UriList({odd[0], good, odd[1], odd[2], odd[3], deleted}) + mangled,
           [&deleted] { ::unlink(deleted.c_str()); });
    });
    const QString at = QString::fromStdString(dir_->path());
    QCOMPARE(messages,
             QStringList("ログ書き込み中断|次の項目は名前にタブや改行、または扱えない文字を含むため"
                         "、記録しませんでした。\n" +
                         at + "/a␉b\n" + at + "/c␍d\n" + at + "/e␊f\n" + at + "/g\\xFF.txt\n" + at +
                         "/g\uFFFD.txt"));
    // What has gone by the time it is recorded is recorded as such.
    QCOMPARE(ReadFile(log_), Quoted(good) + Quoted(deleted + "/", ""));
    QCOMPARE(Entries(*form), QStringList({Entry(deleted + "/"), Entry(good)}));
  }

  void RecordersAndTheWindowWritingAtOnceLoseAndTearNothing() {
    const QString recorder = QString::fromStdString(*dir_ / "tallyrun");
    QVERIFY(QFile::copy(TALLYRUN_EXE, recorder));
    const auto form = StartedWith(log_);
    std::vector<std::unique_ptr<QProcess>> recorders;
    for (int r = 0; r < kRecorders; ++r) {
      // Each waits at the gate until all are there.
      QStringList args{"-c", "read go && exec \"$0\" \"$@\"", recorder};
      for (int i = 0; i < kItems; ++i) args << QString("/soak/r%1/%2").arg(r).arg(i);
      recorders.push_back(std::make_unique<QProcess>());
      recorders.back()->start("/bin/sh", args);
    }
    for (const auto& r : recorders) QVERIFY(r->waitForStarted());
    for (const auto& r : recorders) QVERIFY(r->write("go\n") == 3 && r->waitForBytesWritten());
    const auto recording = [&recorders] {
      return std::any_of(recorders.begin(), recorders.end(), [](const auto& r) {
        return !r->waitForFinished(0) && r->state() != QProcess::NotRunning;
      });
    };
    int dropped = 0, meanwhile = 0;
    const QStringList messages = Messages([&] {
      for (bool others = recording(); others || dropped < 20 * kPerDrop; others = recording()) {
        QByteArray list;
        for (int k = 0; k < kPerDrop; ++k)
          list += "file:///soak/w/" + QByteArray::number(dropped++) + "\r\n";
        QVERIFY(Drop(*form, list));
        meanwhile += others;
      }
    });
    QVERIFY(meanwhile > 0);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
    for (const auto& r : recorders)
      QVERIFY(r->exitStatus() == QProcess::NormalExit && r->exitCode() == 0);

    // A fresh read finds every record whole (a torn one would be skipped);
    // the window listed each once: its own drops as it made them, the
    // others' as they arrived.
    QStringList all = Entries(*StartedWith(log_));
    QCOMPARE(all.size(), kRecorders * kItems + dropped);
    QVERIFY(QTest::qWaitFor([&] { return Entries(*form).size() >= all.size(); }, 5000));
    QStringList listed = Entries(*form);
    listed.sort(), all.sort();
    QCOMPARE(listed, all);
  }

  void RecordsOthersAddArriveOnTopAndAReplacedOrShortenedLogIsReadAgain() {
    std::string text;
    for (int i = 0; i < 100; ++i) text += Bare("/old/" + std::to_string(i));
    // Read while another program is half-way through a record.
    WriteFile(log_, text + "M0\t/half");
    const auto form = StartedWith(log_);
    QListView* list = List1(*form);
    list->setCurrentIndex(list->model()->index(50, 0));
    list->scrollTo(list->currentIndex(), QAbstractItemView::PositionAtTop);
    const auto in_view = [list] { return list->indexAt(QPoint(1, 1)).data().toString(); };
    const QString top_in_view = in_view();
    QCOMPARE(top_in_view, Entry("/old/49"));

    // Whole records only: the last one is listed once its line is finished.
    AppendTo(log_, "way\tD\r\n" + Bare("/new/1") + Bare("/new/2") + "M3\t/new/3\tD");
    QTRY_COMPARE(Entries(*form).mid(0, 4),
                 QStringList({Entry("/new/2"), Entry("/new/1"), "M0|/halfway", Entry("/old/99")}));
    QCOMPARE(list->currentIndex().data().toString(), Entry("/old/49"));
    QCOMPARE(in_view(), top_in_view);
    AppendTo(log_, "\r\n");
    QTRY_COMPARE(Entries(*form).size(), 104);
    QCOMPARE(Entries(*form).front(), QStringLiteral("M3|/new/3"));

    // Replaced by another file, or cut short: read again from the start.
    WriteFile(log_ + ".new", Bare("/replaced"));
    QCOMPARE(std::rename((log_ + ".new").c_str(), log_.c_str()), 0);
    QTRY_COMPARE(Entries(*form), QStringList(Entry("/replaced")));
    AppendTo(log_, Bare("/after"));
    QTRY_COMPARE(Entries(*form), QStringList({Entry("/after"), Entry("/replaced")}));
    WriteFile(log_, "");
    QTRY_COMPARE(Entries(*form), QStringList());
    QVERIFY(!list->isEnabled());
    AppendTo(log_, Bare("/fresh"));
    QTRY_COMPARE(Entries(*form), QStringList(Entry("/fresh")));
    QVERIFY(list->isEnabled());
  }

  void EntriesOpenInTheFileManagerAndMissingItemsAreReported() {
    const auto files = MakeFiles(*dir_, {"日本 語%.txt", ".hidden"});
    MakeFolder(*dir_ / "sub");
    MakeFolder(*dir_ / "empty");
    // Shown newest first: a gone file, then what exists, whatever it holds
    // or however it is named.
    WriteFile(log_, Bare(*dir_ / "sub/") + Bare(files[0]) + Bare(files[1]) +
                        Bare(*dir_ / "empty/") + Bare(*dir_ / "gone.txt"));
    auto form = StartedWith(log_);
    QCOMPARE(Messages([&] {
               QTest::keyClick(List1(*form), Qt::Key_Return);  // nothing selected
               DoubleClick(*form, 0);
             }),
             QStringList("ウィンドウオープン中断|ファイル／フォルダが存在しないようです。"));
    // Without a file manager on the bus, xdg-open shows the folder.
    QVERIFY(Messages([&] {
              for (int row : {1, 2, 3}) DoubleClick(*form, row);
              for (Qt::Key key : {Qt::Key_Space, Qt::Key_A, Qt::Key_Return}) PressOn(*form, 4, key);
            }).isEmpty());
    QStringList opened = LinesOnceThere(opened_, 4);
    opened.sort();  // they start side by side
    const QString dir = QString::fromStdString(dir_->path());
    QCOMPARE(opened, QStringList({dir, dir, dir + "/empty/", dir + "/sub/"}));

    // One that runs, or that the bus can start, is asked instead.
    const std::string called = *dir_ / "called";
    const QString show_folder =
        "ShowFolders\t" + QString::fromLatin1(Uri(dir_->path())) + "/sub/\t";
    {
      QProcess manager;
      manager.start(FAKE_FILE_MANAGER, {QString::fromStdString(called)});
      QTRY_VERIFY(FileManagerOnBus());
      PressOn(*form, 3, Qt::Key_Enter);
      DoubleClick(*form, 4);
      QCOMPARE(
          LinesOnceThere(called, 2),
          QStringList({"ShowItems\t" + QString::fromLatin1(Uri(files[0])) + "\t", show_folder}));
      manager.terminate();
      QVERIFY(manager.waitForFinished());
    }
    QTRY_VERIFY(!FileManagerOnBus());
    WriteFile(called, "");
    const std::string service = std::string(TEST_SERVICE_DIR) + "/file-manager.service";
    WriteFile(service, "[D-BUS Service]\nName=org.freedesktop.FileManager1\nExec=" +
                           std::string(FAKE_FILE_MANAGER) + " " + called + " --once\n");
    ReloadBusConfig();
    DoubleClick(*form, 4);
    const QStringList lines = LinesOnceThere(called, 1);
    ::unlink(service.c_str());
    ReloadBusConfig();
    QCOMPARE(lines, QStringList(show_folder));
    QTRY_VERIFY(!FileManagerOnBus());
    QCOMPARE(LinesOnceThere(opened_, 4).size(), 4);
  }

  void TheChosenLogFileIsShownAndSavedOnCloseOnlyWhenItChanged() {
    const std::string other = *dir_ / "other.log";
    WriteFile(log_, Bare("/first"));
    WriteFile(other, Bare("/other"));
    auto form = StartedWith(log_);
    // The chooser leaves its answer in strFileName; here it is closed by its
    // window's own close command, which keeps whatever strFileName holds.
    const auto choose = [&form](const std::string& answer) {
      bool shown = false;
      WhileModal([&] { QTest::mouseClick(Command1(*form), Qt::LeftButton); },
                 [&](QWidget* modal) {
                   shown = qobject_cast<tallyrun::ui::Form2*>(modal) != nullptr;
                   form->strFileName = QString::fromStdString(answer);
                   modal->close();
                 });
      return shown;
    };
    QVERIFY(choose(""));
    QListView* list = List1(*form);
    list->setCurrentIndex(list->model()->index(0, 0));
    QVERIFY(choose(log_));  // the file already shown: no reload, which would lose the choice
    QCOMPARE(list->currentIndex().data().toString(), Entry("/first"));
    Text1(*form)->setText(QString::fromStdString(other));
    Text1(*form)->setText(QString::fromStdString(log_));
    QTest::mouseClick(Command3(*form), Qt::LeftButton);
    QVERIFY(!form->isVisible());
    QVERIFY(!std::filesystem::exists(location_.settings_file));

    // A file taken in the chooser, which opens where the program started.
    form = StartedWith(log_);
    const InFolder here(dir_->path());
    WhileModal([&] { QTest::mouseClick(Command1(*form), Qt::LeftButton); },
               [](QWidget* modal) {
                 auto* files = modal->findChild<QListWidget*>("File1");
                 files->setCurrentItem(files->findItems("other.log", Qt::MatchExactly).value(0));
                 modal->findChild<QPushButton*>("Command1")->click();
               });
    QCOMPARE(form->strFileName, QString::fromStdString(other));
    QCOMPARE(Text1(*form)->text(), QString::fromStdString(other));
    QCOMPARE(Entries(*form), QStringList(Entry("/other")));
    form->close();  // as the title bar's close control does
    QCOMPARE(ReadFile(location_.settings_file), "[Tallyrun]\r\nLogFile=" + other + "\r\n");

    location_.settings_file = dir_->path();
    form = StartedWith(other);
    Text1(*form)->setText(QString::fromStdString(log_));
    const std::string errors = *dir_ / "stderr";
    const int saved_stderr = ::dup(STDERR_FILENO);
    ::close(STDERR_FILENO);
    ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);  // takes the freed number
    QTest::mouseClick(Command3(*form), Qt::LeftButton);
    ::dup2(saved_stderr, STDERR_FILENO);
    ::close(saved_stderr);
    QVERIFY(!form->isVisible());
    QVERIFY(ReadFile(errors).starts_with("tallyrun: 設定ファイル「" + dir_->path()));
  }

  void WithoutADisplayTheProgramSaysSoAndEndsWithStatus1() {
    const QString program = QString::fromStdString(*dir_ / "tallyrun");
    QVERIFY(QFile::copy(TALLYRUN_EXE, program) &&
            QFile::copy(TALLYRUN_WINDOW_EXE, program + "-window"));
    for (const char* display : {"", ":4093"}) {
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
      if (*display != '\0') environment.insert("DISPLAY", display);
      QProcess run;
      run.setProcessEnvironment(environment);
      run.start(program, {});
      QVERIFY(run.waitForFinished() && run.exitStatus() == QProcess::NormalExit);
      QCOMPARE(run.exitCode(), 1);
      const QString errors = QString::fromUtf8(run.readAllStandardError());
      QVERIFY2(errors.startsWith("tallyrun: 画面に接続") && errors.count('\n') == 1,
               qPrintable(errors));
    }
    QVERIFY(!std::filesystem::exists(*dir_ / "Tallyrun.ini"));
  }
};

QTEST_MAIN(UiMainTest)
#include "ui_main_test.moc"
