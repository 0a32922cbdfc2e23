// The main window driven as a user would drive it: its controls as seen and
// as heard, drops, bad log places and damaged logs, other recorders writing
// at the same moment, opening entries, the chooser and closing; with real
// files in a temporary folder, a fake xdg-open first on PATH and a file
// manager on a private bus.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/log_reader.h"
#include "tests/test_support.h"
#include "tests/ui_test_support.h"
#include "ui/common/look.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/log_file_chooser.h"
#include "ui/main/main_window.h"

using tallyrun::LocalTime;
using tallyrun::SettingsLocation;
using tallyrun::testing::FileExists;
using tallyrun::testing::PinnedClockEnv;
using tallyrun::testing::ReadFile;
using tallyrun::testing::SetModified;
using tallyrun::testing::TabWalk;
using tallyrun::testing::TempDir;
using tallyrun::testing::WriteFile;
using tallyrun::ui::Form1;

namespace {

const LocalTime kNow{2024, 5, 6, 7, 8, 9};
const LocalTime kModified{2020, 1, 2, 3, 4, 5};
const std::string kNowText = "2024/05/06 7:08:09";
const std::string kModifiedText = "2020/01/02 3:04:05";
const QString kGone =
    QStringLiteral("ウィンドウオープン中断|ファイル／フォルダが存在しないようです。");

std::string Quoted(const std::string& path, const std::string& modified = kModifiedText) {
  return "\"" + kNowText + "\t" + path + "\t" + modified + "\"\r\n";
}

std::string Bare(const std::string& moment, const std::string& path) {
  return moment + "\t" + path + "\t" + kModifiedText + "\r\n";
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

void MakeFolder(const std::string& path) { QVERIFY(::mkdir(path.c_str(), 0755) == 0); }

// Files with known contents and modification time, one per name.
std::vector<std::string> MakeFiles(const TempDir& dir, const std::vector<std::string>& names) {
  std::vector<std::string> paths;
  for (const std::string& name : names) {
    paths.push_back(dir / name);
    WriteFile(paths.back(), name);
    SetModified(paths.back(), kModified);
  }
  return paths;
}

QStringList Entries(const Form1& form) {
  QStringList entries;
  const QAbstractItemModel* model = form.List1->model();
  for (int row = 0; row < model->rowCount(); ++row)
    entries << model->index(row, 0).data().toString();
  return entries;
}

// Drags `data` over the window onto `on` and lets go, as the windowing
// system does: through the window, which picks the widget under the cursor.
// `meanwhile` runs after the drop and before the window records it.
bool DropOn(Form1& form, const QMimeData& data, const QWidget* on,
            Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction,
            const std::function<void()>& meanwhile = {}) {
  QWindow* window = form.windowHandle();
  const QPoint at = on->geometry().center();
  QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &enter);
  QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &move);
  if (!enter.isAccepted() || !move.isAccepted()) {
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(window, &leave);
    return false;
  }
  QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(window, &drop);
  if (meanwhile) meanwhile();
  QCoreApplication::processEvents();  // recording follows the drop
  return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

bool Drop(Form1& form, const QByteArray& uri_list, const std::function<void()>& meanwhile = {}) {
  QMimeData data;
  data.setData(QStringLiteral("text/uri-list"), uri_list);
  return DropOn(form, data, form.List1, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction,
                meanwhile);
}

// Runs `action`; every modal window it opens is handed to `answer`.
void WhileModal(const std::function<void()>& action, const std::function<void(QWidget*)>& answer) {
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) answer(modal);
  });
  timer.start(10);
  action();
}

// Runs `action`, pressing OK on each message box it shows; returns each
// box's title and text, marked when the box is not the program's plain kind.
QStringList Messages(const std::function<void()>& action) {
  QStringList seen;
  WhileModal(action, [&seen](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
      seen << QStringLiteral("not a message box");
      modal->close();
      return;
    }
    const bool plain = box->icon() == QMessageBox::NoIcon && box->buttons().size() == 1 &&
                       box->button(QMessageBox::Ok) != nullptr;
    seen << (plain ? QString() : QStringLiteral("NOT PLAIN ")) + box->windowTitle() + '|' +
                box->text();
    box->done(QMessageBox::Ok);
  });
  return seen;
}

QString Unwritable(const std::string& log, const QString& reason) {
  return "ログ書き込み中断|ログファイル「" + QString::fromStdString(log) +
         "」に書き込めません。\n理由：" + reason;
}

// Lines of random bytes in the shape of records, so that they pass for
// them, then random bytes of any shape.
std::string Garbage() {
  std::mt19937 random(7);
  const auto bytes = [&random](int n, bool any) {
    std::string text;
    while (n-- > 0) {
      const char c = static_cast<char>(random());
      text.push_back(!any && (c == '\n' || c == '\t' || c == '"') ? '\x7F' : c);
    }
    return text;
  };
  std::string text;
  for (int line = 0; line < 50; ++line) {
    text += "M" + bytes(20, false) + "\t" + bytes(60, false) + "\t" + bytes(20, false) + "\r\n";
  }
  return text + bytes(1 << 20, true);
}

constexpr int kRecorders = 8;
constexpr int kItems = 2000;
constexpr int kPerDrop = 10;

// The soak's records, oldest first, must each be whole, each source's items
// in order from 0, each batch (a recorder's command line, one drop) in one
// piece. Gives the first line that is not, and the items seen per source,
// the window's last.
QString SoakFault(const QStringList& lines, const QRegularExpression& record,
                  std::vector<int>& seen) {
  seen.assign(kRecorders + 1, 0);
  std::set<int> batches;
  int batch = -1;
  for (const QString& line : lines) {
    const QRegularExpressionMatch match = record.match(line);
    if (!match.hasMatch()) return line;
    const int who = match.captured("who").isEmpty() ? kRecorders : match.captured("who").toInt();
    const int item = match.captured("item").toInt();
    const int in = who < kRecorders ? who : kRecorders + item / kPerDrop;
    if (item != seen[who]++ || (in != batch && !batches.insert(in).second)) return line;
    batch = in;
  }
  return {};
}

// As the windowing system sends it: a click, then the double-click.
void DoubleClick(Form1& form, int row) {
  const QPoint at = form.List1->visualRect(form.List1->model()->index(row, 0)).center();
  QWidget* viewport = form.List1->viewport();
  QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, at);
}

void Select(Form1& form, int row) {
  form.List1->setCurrentIndex(form.List1->model()->index(row, 0));
}

// Lines an observer wrote, once there are `count` of them; extra ones that
// arrive soon after are caught too.
QStringList LinesOnceThere(const std::string& file, int count) {
  const auto lines = [&file] {
    return QString::fromStdString(ReadFile(file)).split('\n', Qt::SkipEmptyParts);
  };
  for (int waited = 0; waited < 5000 && lines().size() < count; waited += 20) QTest::qWait(20);
  QTest::qWait(200);
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

class UiMainTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup() { dir_.reset(); }

  void EveryControlHasItsNamePlaceCaptionAndAccessibleName();
  void TheKeyboardReachesEveryControlInTabOrderAndEveryAction();
  void DropsOnTheListAreRecordedQuotedInDropOrderAndReloadTheSame();
  void ADropOnAPlaceThatCannotTakeTheLogIsRefusedAtOnceAndChangesNothing();
  void DamagedAndForeignLogsShowTheirWholeRecordsAndStillTakeDrops();
  void AwkwardDroppedNamesAreRecordedExactlyOrRefusedWithAMessage();
  void RecordersAndTheWindowWritingAtOnceLoseAndTearNothing();
  void EntriesOpenTheirFolderAndMissingItemsAreReported();
  void EntriesGoToTheFileManagerServiceWhenOneRunsOrCanBeStarted();
  void ClosingSavesTheShownLogFileOnlyWhenItChanged();
  void TheChooserAnswerIsTakenOnlyWhenNewAndNotEmpty();
  void WithoutADisplayTheProgramSaysSoAndEndsWithStatus1();

 private:
  // The command-line program beside the test's own settings: its default log
  // is log_.
  std::string Recorder() {
    const std::string program = *dir_ / "tallyrun";
    if (!FileExists(program)) QFile::copy(TALLYRUN_EXE, QString::fromStdString(program));
    return program;
  }

  std::unique_ptr<Form1> StartedWith(const std::string& log_file) {
    auto form = std::make_unique<Form1>(env_, location_, log_file);
    form->show();
    form->Text1->setText(QString::fromStdString(log_file));
    form->GetListFromLogFile();
    return form;
  }

  PinnedClockEnv env_{kNow};
  TempDir tools_;
  std::string opened_;  // what the fake xdg-open was asked
  std::unique_ptr<TempDir> dir_;
  SettingsLocation location_;
  std::string log_;
};

void UiMainTest::initTestCase() {
  QVERIFY2(QDBusConnection::sessionBus().isConnected() && !FileManagerOnBus(),
           "run under dbus-run-session with the tests' own bus, as ctest does");
  opened_ = tools_ / "opened";
  const std::string bin = tools_ / "bin";
  MakeFolder(bin);
  WriteFile(bin + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$*\" >>'" + opened_ + "'\n");
  QVERIFY(::chmod((bin + "/xdg-open").c_str(), 0755) == 0);
  qputenv("PATH", QByteArray::fromStdString(bin) + ':' + qgetenv("PATH"));
}

void UiMainTest::init() {
  dir_ = std::make_unique<TempDir>();
  location_ = {*dir_ / "Tallyrun.ini", *dir_ / "Tallyrun.log"};
  log_ = *dir_ / "Tallyrun.log";
  WriteFile(opened_, "");
}

void UiMainTest::EveryControlHasItsNamePlaceCaptionAndAccessibleName() {
  using tallyrun::ui::TwipsRect;
  WriteFile(log_, Bare(kNowText, "/a") + Bare(kNowText, "/b\x01" + std::string("c")));
  const auto form = StartedWith(log_);
  QCOMPARE(form->objectName(), QStringLiteral("Form1"));
  QCOMPARE(form->windowTitle(), QStringLiteral("ファイルログ作成ツール"));
  QCOMPARE(form->size(), tallyrun::ui::TwipsSize(7200, 5400));
  QCOMPARE(form->minimumSize(), form->maximumSize());
  QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
  QCOMPARE(form->font().families().first(), QStringLiteral("ＭＳ ゴシック"));
  QCOMPARE(form->font().pointSize(), 9);
  QCOMPARE(form->List1->selectionMode(), QAbstractItemView::SingleSelection);

  const QString label1 = QStringLiteral("● ログファイル保存場所（ファイル名）");
  const QString label3 = QStringLiteral("● 書き込まれたログ（一番上が最新）");
  const QString label2 = QStringLiteral(
      "↑このリストボックスに、ログを取りたいファイルやフォルダをドラッグ＆ドロップしてください。");
  // What a screen reader reads is the caption, or for the text box and the
  // list the label that heads them.
  const struct {
    const char* name;
    const char* kind;
    const char* inside;
    QRect place;
    QString caption;
    QString heard;
  } table[] = {
      {"Label1", "QLabel", "Form1", TwipsRect(120, 120, 3330, 180), label1, label1},
      {"Text1", "QLineEdit", "Form1", TwipsRect(120, 360, 6135, 315), QString::fromStdString(log_),
       label1},
      {"Frame1", "QFrame", "Form1", TwipsRect(6300, 240, 795, 495), {}, {}},
      {"Command1", "QPushButton", "Frame1", TwipsRect(60, 60, 675, 375), "選択", "選択"},
      {"List1", "QListView", "Form1", TwipsRect(120, 1140, 6975, 3300), {}, label3},
      {"Label3", "QLabel", "Form1", TwipsRect(120, 900, 3150, 180), label3, label3},
      {"Frame2", "QFrame", "Form1", TwipsRect(5400, 4740, 1695, 555), {}, {}},
      {"Command2", "QPushButton", "Frame2", TwipsRect(60, 120, 555, 375), "？", "？"},
      {"Command3", "QPushButton", "Frame2", TwipsRect(840, 60, 795, 435), "終了", "終了"},
      {"Label2", "QLabel", "Form1", TwipsRect(120, 4560, 5130, 720), label2, label2},
  };
  const auto view = tallyrun::testing::ReadAccessibleView(form.get());
  QCOMPARE(view.controls.size(), static_cast<qsizetype>(std::size(table)));
  QVERIFY2(view.unnamed.isEmpty(), qPrintable(view.unnamed.join(", ")));
  for (const auto& c : table) {
    const auto* control = form->findChild<QWidget*>(QLatin1String(c.name));
    QVERIFY2(control != nullptr && control->inherits(c.kind), c.name);
    QCOMPARE(control->parentWidget()->objectName(), QLatin1String(c.inside));
    QCOMPARE(control->geometry(), c.place);
    QString caption;
    if (const auto* label = qobject_cast<const QLabel*>(control)) caption = label->text();
    if (const auto* button = qobject_cast<const QPushButton*>(control)) caption = button->text();
    if (const auto* text = qobject_cast<const QLineEdit*>(control)) caption = text->text();
    QCOMPARE(caption, c.caption);
    QCOMPARE(view.controls.value(c.name, "not heard"), c.heard);
  }
  QCOMPARE(QAccessible::queryAccessibleInterface(form.get())->text(QAccessible::Name),
           form->windowTitle());
  // Each entry is read as it is shown, a control character as its symbol;
  // how to record from the keyboard is told where the records are.
  QCOMPARE(tallyrun::testing::AccessibleRows(form->List1),
           QStringList({Entry("/b␁c"), Entry("/a")}));
  QVERIFY(QAccessible::queryAccessibleInterface(form->List1)
              ->text(QAccessible::Description)
              .contains(QStringLiteral("Ctrl+V")));
}

void UiMainTest::TheKeyboardReachesEveryControlInTabOrderAndEveryAction() {
  const auto files = MakeFiles(*dir_, {"a.txt", "copied.txt"});
  // An empty list is disabled and takes no focus.
  QCOMPARE(TabWalk(StartedWith(log_)->Text1, 4),
           QStringList({"Text1", "Command1", "Command2", "Command3", "Text1"}));
  WriteFile(log_, Bare(kNowText, files[0]));
  const auto form = StartedWith(log_);
  QCOMPARE(TabWalk(form->Text1, 5),
           QStringList({"Text1", "Command1", "List1", "Command2", "Command3", "Text1"}));
  QCOMPARE(TabWalk(form->Text1, 5, true),
           QStringList({"Text1", "Command3", "Command2", "List1", "Command1", "Text1"}));

  // Enter on "選択" shows the chooser and Escape leaves it; Enter on the list
  // opens its entry; Space on "？" shows the about box and Enter closes it.
  const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
  };
  // The desktop hands the focus back once a dialog has gone; offscreen, we do.
  const auto back = [&form] {
    QApplication::setActiveWindow(form.get());
    return QTest::qWaitForWindowActive(form.get());
  };
  QStringList shown;
  const auto answer = [&](QWidget* modal) {
    shown << modal->metaObject()->className();
    QTest::keyClick(modal->focusWidget(),
                    modal->inherits("tallyrun::ui::Form2") ? Qt::Key_Escape : Qt::Key_Return);
  };
  form->Text1->setFocus();
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
  auto* clipboard = new QMimeData;
  clipboard->setData("text/uri-list", UriList({files[1]}));
  clipboard->setText(QStringLiteral("/typed.log"));
  QGuiApplication::clipboard()->setMimeData(clipboard);
  press(Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(ReadFile(log_), Bare(kNowText, files[0]) + Quoted(files[1]));
  form->Text1->setFocus();
  form->Text1->selectAll();
  press(Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(form->Text1->text(), QStringLiteral("/typed.log"));
  form->Text1->setText(QString::fromStdString(log_));
  auto* gnome = new QMimeData;
  gnome->setData("x-special/gnome-copied-files", "copy\n" + Uri(files[0]));
  QGuiApplication::clipboard()->setMimeData(gnome);
  form->Command3->setFocus();
  press(Qt::Key_Insert, Qt::ShiftModifier);
  QCOMPARE(Entries(*form), QStringList({Entry(files[0]), Entry(files[1]), Entry(files[0])}));

  press(Qt::Key_Return);  // on "終了"
  QVERIFY(!form->isVisible());
}

void UiMainTest::DropsOnTheListAreRecordedQuotedInDropOrderAndReloadTheSame() {
  const auto files = MakeFiles(*dir_, {"b c.txt", "B", "日本語 C", "D"});
  const std::string folder = *dir_ / "a";
  MakeFolder(folder);
  SetModified(folder, kModified);
  const auto form = StartedWith(log_);
  QVERIFY(!form->List1->isEnabled());

  // No local item, not on the list, or only to be moved: nothing happens.
  QMimeData text;
  text.setText(QString::fromStdString(dir_->path()));
  QMimeData move_only;
  move_only.setData("text/uri-list", UriList({files[0]}));
  QVERIFY(Messages([&] {
            QVERIFY(Drop(*form, "# a comment\r\nhttps://example.org/a\r\nfile://elsewhere/x\r\n"));
            QVERIFY(!DropOn(*form, text, form->List1));
            QVERIFY(!DropOn(*form, move_only, form->List1, Qt::MoveAction));
            QVERIFY(!DropOn(*form, move_only, form->Text1));
            QVERIFY(!DropOn(*form, move_only, form->Label2));
          }).isEmpty());
  QVERIFY(!FileExists(log_));
  WriteFile(log_, "");
  form->GetListFromLogFile();
  QVERIFY(!form->List1->isEnabled());

  QVERIFY(Drop(*form, UriList({folder, files[0]})));
  const std::string first = Quoted(folder + "/") + Quoted(files[0]);
  QCOMPARE(ReadFile(log_), first);
  QCOMPARE(Entries(*form), QStringList({Entry(files[0]), Entry(folder + "/")}));
  QVERIFY(form->List1->isEnabled());

  // Local file URIs of every form, in one drop.
  const auto encoded = [](const std::string& path) {
    return QByteArray::fromStdString(path).toPercentEncoding("/");
  };
  QVERIFY(Drop(*form, "file://localhost" + encoded(files[1]) + "\r\nFILE://" +
                          QSysInfo::machineHostName().toUtf8() + encoded(files[2]) +
                          "\nfile:" + encoded(files[0]) + "\r\nfile://" +
                          QByteArray::fromStdString(files[3]) + "\r\n" + Uri(folder) + "/"));
  QCOMPARE(ReadFile(log_), first + Quoted(files[1]) + Quoted(files[2]) + Quoted(files[0]) +
                               Quoted(files[3]) + Quoted(folder + "/"));
  const QStringList expected{Entry(folder + "/"), Entry(files[3]), Entry(files[0]),
                             Entry(files[2]),     Entry(files[1]), Entry(files[0]),
                             Entry(folder + "/")};
  QCOMPARE(Entries(*form), expected);
  form->GetListFromLogFile();
  QCOMPARE(Entries(*form), expected);
}

void UiMainTest::ADropOnAPlaceThatCannotTakeTheLogIsRefusedAtOnceAndChangesNothing() {
  const std::string earlier = Bare("2023/12/31", "/a") + "\"2024/01/01 1:02:03\t/b/\t\"\r\n";
  WriteFile(log_, earlier);
  const std::string item = *dir_ / "item.txt";
  const std::string folder = *dir_ / "folder";
  const std::string fifo = *dir_ / "fifo";
  WriteFile(item, "x");
  MakeFolder(folder);
  QVERIFY(::mkfifo(fifo.c_str(), 0644) == 0);
  // Root may open a file under /proc for writing; the write itself then fails.
  const QString proc = ::geteuid() == 0 ? "入出力エラーが発生しました" : "アクセスが拒否されました";
  const struct {
    std::string place;
    QString reason;
  } rows[] = {
      {"", "ファイル名が指定されていません"},
      {folder, "フォルダです"},
      {*dir_ / "missing/t.log", "ファイルまたはフォルダが見つかりません"},
      {"/proc/version", proc},
      {"/dev/full", "通常のファイルではありません"},
      {fifo, "通常のファイルではありません"},
  };
  // A window stuck on the FIFO fails the case instead of hanging the run:
  // writers come and go until it lets go.
  std::atomic<bool> stuck = false;
  std::jthread watchdog([&](std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any never;
    std::unique_lock lock(mutex);
    never.wait_for(lock, stop, std::chrono::seconds(20), [] { return false; });
    for (; !stop.stop_requested(); std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
      stuck = true;
      ::close(::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    }
  });
  const auto form = StartedWith(log_);
  const QStringList shown = Entries(*form);
  QCOMPARE(shown.size(), 2);
  for (const auto& row : rows) {
    form->Text1->setText(QString::fromStdString(row.place));  // typed: no reload
    QCOMPARE(Messages([&] { QVERIFY(Drop(*form, UriList({item}))); }),
             QStringList(Unwritable(row.place, row.reason)));
    QCOMPARE(Entries(*form), shown);
    QVERIFY(form->List1->isEnabled());
    // Read as a log, it shows nothing and says nothing.
    QVERIFY(Messages([&] { form->GetListFromLogFile(); }).isEmpty());
    QVERIFY(Entries(*form).isEmpty());
    QVERIFY(!form->List1->isEnabled());
    form->Text1->setText(QString::fromStdString(log_));
    form->GetListFromLogFile();
  }
  watchdog.request_stop();
  watchdog.join();
  QVERIFY2(!stuck, "the window waited on the log place");
  QCOMPARE(ReadFile(log_), earlier);
  QVERIFY(std::filesystem::is_empty(folder));
  QVERIFY(!FileExists(*dir_ / "missing"));
}

void UiMainTest::DamagedAndForeignLogsShowTheirWholeRecordsAndStillTakeDrops() {
  const std::string item = MakeFiles(*dir_, {"item.txt"}).front();
  const std::string nul(1, '\0');
  const std::string first = Bare("2002/06/26 9:03:14", "/a");
  const QString shown_first = Entry("/a", "2002/06/26 9:03:14");
  const QString folder = QString::fromStdString(dir_->path());
  const struct {
    std::string text;
    std::optional<QStringList> entries;  // none: whatever the damage passes for
  } rows[] = {
      {first + "M2\t" + dir_->path() + nul + "x\tD\r\n" + nul + nul + "\r\nM4\t/d\tD\r\n",
       QStringList({"M2|" + folder + "␀x", shown_first})},
      {first + "M2\t/" + std::string(20 << 20, 'x'), QStringList(shown_first)},
      // Shown as far as any real path goes: laying out all of it would
      // stall every repaint.
      {first + "M2\t/" + std::string(300 << 10, 'y') + "\tD\r\n",
       QStringList({"M2|/" + QString(4096 + 32 - 4, 'y') + "…", shown_first})},
      {"2002/06/26 9:03:14\tC:\\\x83\x65\x83\x58\x83\x67\\\t2002/06/25\r\n"
       "\"2002/06/26 9:03:15\tC:\\\x95\x5C.txt\t\"\r\n",
       QStringList({"2002/06/26 9:03:15|C:\\表.txt", "2002/06/26 9:03:14|C:\\テスト\\"})},
      {"M1\t/テスト\tD\r\nM2\tC:\\\x83\x65\tD\r\n\"M3\t/表\tD\"\r\nM4\tC:\\\x95\x5C\tD\r\n",
       QStringList({"M4|C:\\表", "M3|/表", "M2|C:\\テ", "M1|/テスト"})},
      {first + Garbage(), std::nullopt},
  };
  for (const auto& row : rows) {
    WriteFile(log_, row.text);
    const auto form = StartedWith(log_);
    const QStringList entries = Entries(*form);
    if (row.entries) {
      QCOMPARE(entries, *row.entries);
    } else {
      QVERIFY(entries.size() > 50 && entries.back() == shown_first);
      // Shown as "moment|path" with nothing invisible in it.
      static const QRegularExpression whole(R"(^[^\x00-\x1F\x7F]*\|[^\x00-\x1F\x7F]*\z)");
      for (const QString& entry : entries)
        QVERIFY2(whole.match(entry).hasMatch(), qPrintable(entry));
    }
    QCOMPARE(form->List1->isEnabled(), !entries.isEmpty());
    QVERIFY(Drop(*form, UriList({item})));
    const std::string line_end = row.text.back() == '\n' ? "" : "\r\n";
    QVERIFY(ReadFile(log_) == row.text + line_end + Quoted(item));
    QCOMPARE(Entries(*form), QStringList(Entry(item)) + entries);
  }

  // A path cut at its NUL would name the folder before it: never opened.
  WriteFile(log_, rows[0].text);
  const auto form = StartedWith(log_);
  QCOMPARE(Messages([&] { DoubleClick(*form, 0); }), QStringList(kGone));
  QTest::qWait(100);
  QCOMPARE(ReadFile(opened_), std::string());
}

void UiMainTest::AwkwardDroppedNamesAreRecordedExactlyOrRefusedWithAMessage() {
  const std::string good = *dir_ / "good.txt";
  // Folders nested until the file in the last one has a 4,000-byte path.
  std::string deep = dir_->path();
  while (4000 - deep.size() > 256) {
    deep += "/" + std::string(200, 'd');
    MakeFolder(deep);
  }
  deep += "/" + std::string(4000 - deep.size() - 1, 'f');
  QCOMPARE(deep.size(), std::size_t{4000});
  const std::string loop = *dir_ / "loop";
  QVERIFY(::symlink("loop", loop.c_str()) == 0);
  const std::string deleted = *dir_ / "deleted.txt";
  const std::string tab = *dir_ / "a\tb";
  const std::string cr = *dir_ / "c\rd";
  const std::string lf = *dir_ / "e\nf";
  const std::string not_utf8 = *dir_ / "g\xff.txt";
  for (const std::string& p : {good, deep, deleted, tab, cr, lf, not_utf8}) WriteFile(p, "x");
  SetModified(good, kModified);
  SetModified(deep, kModified);
  // How a toolkit that holds names as Unicode sends the name that is not UTF-8.
  const QByteArray mangled = Uri(*dir_ / "g\uFFFD.txt");
  const std::string earlier = Bare("2023/12/31", "/a");
  WriteFile(log_, earlier);
  const auto form = StartedWith(log_);

  const QStringList messages = Messages([&] {
    Drop(*form, UriList({tab, good, cr, deep, loop, lf, not_utf8, deleted}) + mangled,
         [&deleted] { ::unlink(deleted.c_str()); });
  });
  const QString folder = QString::fromStdString(dir_->path());
  QCOMPARE(messages, QStringList("ログ書き込み中断|次の項目は名前にタブや改行、または扱えない文字を"
                                 "含むため、記録しませんでした。\n" +
                                 folder + "/a␉b\n" + folder + "/c␍d\n" + folder + "/e␊f\n" +
                                 folder + "/g\uFFFD.txt\n" + folder + "/g\uFFFD.txt"));
  // What cannot be read is recorded as such, with its trailing slash.
  QCOMPARE(ReadFile(log_), earlier + Quoted(good) + Quoted(deep) + Quoted(loop + "/", "") +
                               Quoted(deleted + "/", ""));
  QCOMPARE(Entries(*form), QStringList({Entry(deleted + "/"), Entry(loop + "/"), Entry(deep),
                                        Entry(good), Entry("/a", "2023/12/31")}));
  QCOMPARE(Messages([&] {
             for (int row : {0, 1, 2}) DoubleClick(*form, row);
           }),
           QStringList({kGone, kGone}));
  QCOMPARE(LinesOnceThere(opened_, 1),
           QStringList(QString::fromStdString(deep.substr(0, deep.rfind('/')))));
}

void UiMainTest::RecordersAndTheWindowWritingAtOnceLoseAndTearNothing() {
  static const QRegularExpression line(
      R"(^("?)[0-9/ :]+\t/soak/(?:r(?<who>\d)|w)/(?<item>\d+)/\t\1\z)");
  static const QRegularExpression entry(R"(^[0-9/ :]+\|/soak/(?:r(?<who>\d)|w)/(?<item>\d+)/\z)");
  // One window drops; another reads the log as it grows.
  const auto form = StartedWith(log_);
  const auto reader = StartedWith(log_);
  std::vector<std::unique_ptr<QProcess>> recorders;
  for (int r = 0; r < kRecorders; ++r) {
    QStringList items;
    for (int i = 0; i < kItems; ++i) items << QString("/soak/r%1/%2").arg(r).arg(i);
    // Each waits at the gate until all are there.
    recorders.push_back(std::make_unique<QProcess>());
    recorders.back()->start("/bin/sh", QStringList{"-c", "read go && exec \"$0\" \"$@\"",
                                                   QString::fromStdString(Recorder())} +
                                           items);
  }
  for (const auto& r : recorders) QVERIFY(r->waitForStarted());
  for (const auto& r : recorders) {
    r->write("go\n");
    r->closeWriteChannel();
    QVERIFY(r->waitForBytesWritten());
  }
  const auto recording = [&recorders] {
    bool any = false;
    for (const auto& r : recorders)
      any |= !r->waitForFinished(0) && r->state() != QProcess::NotRunning;
    return any;
  };
  int dropped = 0;
  int meanwhile = 0;
  std::vector<int> seen;
  const QStringList messages = Messages([&] {
    for (bool others = recording(); others || dropped < 20 * kPerDrop; others = recording()) {
      QByteArray list;
      for (int k = 0; k < kPerDrop; ++k)
        list += "file:///soak/w/" + QByteArray::number(dropped++) + "\r\n";
      QVERIFY(Drop(*form, list));
      reader->GetListFromLogFile();
      QStringList read_back = Entries(*reader);
      std::reverse(read_back.begin(), read_back.end());
      const QString fault = SoakFault(read_back, entry, seen);
      QVERIFY2(fault.isEmpty(), qPrintable(fault));
      meanwhile += others;
    }
  });
  QVERIFY(meanwhile > 0);
  QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
  for (const auto& r : recorders) {
    QCOMPARE(r->exitStatus(), QProcess::NormalExit);
    QCOMPARE(r->exitCode(), 0);
  }

  const QString log = QString::fromStdString(ReadFile(log_));
  QVERIFY2(log.endsWith("\r\n"), "the log ends in a line without its line end");
  const QString fault = SoakFault(log.chopped(2).split("\r\n"), line, seen);
  QVERIFY2(fault.isEmpty(), qPrintable(fault));
  std::vector<int> expected(kRecorders, kItems);
  expected.push_back(dropped);
  QCOMPARE(seen, expected);
  // The dropping window's list is what a fresh reading finds of its drops.
  reader->GetListFromLogFile();
  QCOMPARE(Entries(*form), Entries(*reader).filter("|/soak/w/"));
}

void UiMainTest::EntriesOpenTheirFolderAndMissingItemsAreReported() {
  const auto files = MakeFiles(*dir_, {"f g.txt", ".hidden"});
  const std::string folder = *dir_ / "sub";
  const std::string empty = *dir_ / "empty";
  MakeFolder(folder);
  MakeFolder(empty);
  // Shown newest first: a file recorded as a folder, a gone file, then what
  // exists, whatever it holds or however it is named.
  WriteFile(log_, Bare(kNowText, folder + "/") + Bare(kNowText, files[0]) +
                      Bare(kNowText, files[1]) + Bare(kNowText, empty + "/") +
                      Bare(kNowText, *dir_ / "gone.txt") + Bare(kNowText, files[0] + "/"));
  const auto form = StartedWith(log_);
  QCOMPARE(Messages([&] {
             QTest::keyClick(form->List1, Qt::Key_Return);  // nothing selected
             DoubleClick(*form, 0);
             DoubleClick(*form, 1);
           }),
           QStringList({kGone, kGone}));
  QCOMPARE(Entries(*form).size(), 6);
  QVERIFY(Messages([&] {
            for (int row : {2, 3, 4}) DoubleClick(*form, row);
            Select(*form, 5);
            QTest::keyClick(form->List1, Qt::Key_Space);
            QTest::keyClick(form->List1, Qt::Key_A);
            QTest::keyClick(form->List1, Qt::Key_Return);
          }).isEmpty());
  QStringList opened = LinesOnceThere(opened_, 4);
  opened.sort();  // they start side by side
  const QString dir = QString::fromStdString(dir_->path());
  QCOMPARE(opened, QStringList({dir, dir, dir + "/empty/", dir + "/sub/"}));
}

void UiMainTest::EntriesGoToTheFileManagerServiceWhenOneRunsOrCanBeStarted() {
  const std::string called = *dir_ / "called";
  const std::string file = *dir_ / "日本 語%.txt";
  WriteFile(file, "x");
  MakeFolder(*dir_ / "sub");
  WriteFile(log_, Bare(kNowText, file) + Bare(kNowText, *dir_ / "sub/"));
  const QString escaped_dir = QString::fromLatin1(Uri(dir_->path()));
  const QString show_folder = "ShowFolders\t" + escaped_dir + "/sub/\t";
  {
    QProcess manager;
    manager.start(FAKE_FILE_MANAGER, {QString::fromStdString(called)});
    QTRY_VERIFY(FileManagerOnBus());
    const auto form = StartedWith(log_);
    Select(*form, 1);
    QTest::keyClick(form->List1, Qt::Key_Enter);
    DoubleClick(*form, 0);
    QCOMPARE(LinesOnceThere(called, 2),
             QStringList({"ShowItems\t" + escaped_dir + "/%E6%97%A5%E6%9C%AC%20%E8%AA%9E%25.txt\t",
                          show_folder}));
    manager.terminate();
    QVERIFY(manager.waitForFinished());
  }
  QTRY_VERIFY(!FileManagerOnBus());

  WriteFile(called, "");
  const std::string service = std::string(TEST_SERVICE_DIR) + "/file-manager.service";
  WriteFile(service, "[D-BUS Service]\nName=org.freedesktop.FileManager1\nExec=" +
                         std::string(FAKE_FILE_MANAGER) + " " + called + " --once\n");
  ReloadBusConfig();
  const auto form = StartedWith(log_);
  DoubleClick(*form, 0);
  const QStringList lines = LinesOnceThere(called, 1);
  ::unlink(service.c_str());
  ReloadBusConfig();
  QCOMPARE(lines, QStringList(show_folder));
  QTRY_VERIFY(!FileManagerOnBus());
  QCOMPARE(ReadFile(opened_), std::string());
}

void UiMainTest::ClosingSavesTheShownLogFileOnlyWhenItChanged() {
  const std::string other = *dir_ / "other.log";
  auto form = StartedWith(log_);
  QTest::mouseClick(form->Command3, Qt::LeftButton);
  QVERIFY(!form->isVisible());
  QVERIFY(!FileExists(location_.settings_file));

  form = StartedWith(log_);
  form->Text1->setText(QString::fromStdString(other));
  form->Text1->setText(QString::fromStdString(log_));
  form->close();
  QVERIFY(!FileExists(location_.settings_file));

  form = StartedWith(log_);
  form->Text1->setText(QString::fromStdString(other));
  form->close();  // as the title bar's close control does
  QVERIFY(!form->isVisible());
  QCOMPARE(ReadFile(location_.settings_file), "[Tallyrun]\r\nLogFile=" + other + "\r\n");

  // A settings file that cannot be written is reported; the window closes.
  location_.settings_file = dir_->path();
  form = StartedWith(log_);
  form->Text1->setText(QString::fromStdString(other));
  const std::string errors = *dir_ / "stderr";
  const int saved_stderr = ::dup(STDERR_FILENO);
  const int file = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(file, STDERR_FILENO);
  QTest::mouseClick(form->Command3, Qt::LeftButton);
  ::dup2(saved_stderr, STDERR_FILENO);
  ::close(file);
  ::close(saved_stderr);
  QVERIFY(!form->isVisible());
  QVERIFY2(
      ReadFile(errors).find("tallyrun: 設定ファイル「" + dir_->path() + "」に保存できません") == 0,
      ReadFile(errors).c_str());
}

void UiMainTest::TheChooserAnswerIsTakenOnlyWhenNewAndNotEmpty() {
  const std::string other = *dir_ / "other.log";
  WriteFile(log_, Bare(kNowText, "/first"));
  WriteFile(other, Bare(kNowText, "/other"));
  const auto form = StartedWith(log_);
  // The chooser leaves its answer in strFileName; here it is closed by its
  // window's own close command, which keeps whatever strFileName holds.
  const auto choose = [&form](const std::string& answer) {
    bool shown = false;
    WhileModal([&] { QTest::mouseClick(form->Command1, Qt::LeftButton); },
               [&](QWidget* modal) {
                 shown = qobject_cast<tallyrun::ui::Form2*>(modal) != nullptr;
                 form->strFileName = QString::fromStdString(answer);
                 modal->close();
               });
    return shown;
  };
  QVERIFY(choose(""));
  QCOMPARE(form->Text1->text(), QString::fromStdString(log_));
  WriteFile(log_, Bare(kNowText, "/first") + Bare(kNowText, "/second"));
  QVERIFY(choose(log_));  // the file already shown: no reload
  QCOMPARE(Entries(*form), QStringList(Entry("/first")));
  QVERIFY(choose(other));
  QCOMPARE(form->Text1->text(), QString::fromStdString(other));
  QCOMPARE(Entries(*form), QStringList(Entry("/other")));
}

void UiMainTest::WithoutADisplayTheProgramSaysSoAndEndsWithStatus1() {
  const std::string program = *dir_ / "tallyrun";
  QVERIFY(QFile::copy(TALLYRUN_EXE, QString::fromStdString(program)));
  QVERIFY(QFile::copy(TALLYRUN_WINDOW_EXE, QString::fromStdString(*dir_ / "tallyrun-window")));
  for (const char* display : {"", ":4093"}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
      environment.remove(name);
    }
    if (*display != '\0') environment.insert("DISPLAY", display);
    QProcess run;
    run.setProcessEnvironment(environment);
    run.start(QString::fromStdString(program), {});
    QVERIFY(run.waitForFinished());
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.exitCode(), 1);
    const QString errors = QString::fromUtf8(run.readAllStandardError());
    QVERIFY2(errors.startsWith("tallyrun: 画面に接続できないため、ウィンドウを開けません。"),
             qPrintable(errors));
    QCOMPARE(errors.count('\n'), 1);
  }
  QVERIFY(!FileExists(*dir_ / "Tallyrun.ini"));
}

QTEST_MAIN(UiMainTest)
#include "ui_main_test.moc"
