// The main window driven as a user would drive it: drops, reloads, opening
// entries, the chooser's answer and closing, bad log places and damaged logs,
// other recorders writing at the same moment, the keyboard and a screen
// reader; with real files in a temporary folder, a fake xdg-open first on
// PATH and a file manager on a private bus.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractItemModel>
#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
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
using tallyrun::testing::AccessibleRows;
using tallyrun::testing::FileExists;
using tallyrun::testing::PinnedClockEnv;
using tallyrun::testing::ReadAccessibleView;
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
const QString kFileManager = QStringLiteral("org.freedesktop.FileManager1");

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

QStringList Entries(const Form1& form) {
  QStringList entries;
  const QAbstractItemModel* model = form.List1->model();
  for (int row = 0; row < model->rowCount(); ++row) {
    entries << model->index(row, 0).data().toString();
  }
  return entries;
}

QPoint CentreOf(const QWidget* control) { return control->geometry().center(); }

constexpr Qt::DropActions kAnyAction = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;

// Drags `data` over the window to `at` and lets go, as the windowing system
// does: through the window, which picks the widget under the cursor.
// `meanwhile` runs after the drop and before the window records it.
bool DropOn(Form1& form, const QMimeData& data, QPoint at, Qt::DropActions actions = kAnyAction,
            const std::function<void()>& meanwhile = {}) {
  QWindow* window = form.windowHandle();
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

bool DropOn(Form1& form, const QByteArray& uri_list, QPoint at,
            const std::function<void()>& meanwhile = {}) {
  QMimeData data;
  data.setData(QStringLiteral("text/uri-list"), uri_list);
  return DropOn(form, data, at, kAnyAction, meanwhile);
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

// Fails a case instead of hanging the run: once `limit` has passed, `release`
// lets go of whatever the window is stuck on, and Met() says so.
class Deadline {
 public:
  Deadline(std::chrono::seconds limit, std::function<void()> release)
      : thread_([this, limit, release = std::move(release)] {
          std::unique_lock lock(mutex_);
          if (!over_.wait_for(lock, limit, [this] { return done_; })) {
            missed_ = true;
            release();
          }
        }) {}
  ~Deadline() { Finish(); }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  bool Met() {
    Finish();
    return !missed_;
  }

 private:
  void Finish() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    over_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  std::mutex mutex_;
  std::condition_variable over_;
  bool done_ = false;
  bool missed_ = false;
  std::thread thread_;
};

// Anyone blocked opening or reading the FIFO goes on: a writer appears and
// leaves again.
void LetGoOf(const std::string& fifo) {
  const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) ::close(fd);
}

// A disk that fills up: files of this process cannot grow past `bytes`, and
// a write that would is refused rather than ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(std::size_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &before_);
    rlimit limit = before_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    signal_before_ = std::signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &before_);
    std::signal(SIGXFSZ, signal_before_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit before_{};
  void (*signal_before_)(int) = SIG_DFL;
};

// Lines of random bytes in the shape of records, so that they pass for
// them, then random bytes of any shape.
std::string Garbage(unsigned seed) {
  std::mt19937 random(seed);
  const auto bytes = [&random](std::string& text, int n) {
    while (n-- > 0) {
      char c = static_cast<char>(random());
      text.push_back(c == '\n' || c == '\t' || c == '"' ? '\x7F' : c);
    }
  };
  std::string text;
  for (int line = 0; line < 50; ++line) {
    text.push_back('M');
    bytes(text, 20);
    text.push_back('\t');
    bytes(text, 60);
    text.push_back('\t');
    bytes(text, 20);
    text.append("\r\n");
  }
  for (int i = 0; i < (1 << 20); ++i) text.push_back(static_cast<char>(random()));
  return text;
}

// What the list shows must read as "moment|path" with nothing invisible in it.
bool ShownWhole(const QString& entry) {
  if (!entry.contains(QLatin1Char('|'))) return false;
  for (const QChar c : entry) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  }
  return true;
}

QStringList AsShown(const tallyrun::LogEntries& entries) {
  QStringList shown;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    shown << QString::fromUtf8(entries[i].data(), static_cast<qsizetype>(entries[i].size()));
  }
  return shown;
}

const QString kGone =
    QStringLiteral("ウィンドウオープン中断|ファイル／フォルダが存在しないようです。");
const QString kRefused = QStringLiteral(
    "ログ書き込み中断|次の項目は名前にタブや改行、または扱えない文字を含むため、"
    "記録しませんでした。");

QString Unwritable(const std::string& log, const QString& reason) {
  return "ログ書き込み中断|ログファイル「" + QString::fromStdString(log) +
         "」に書き込めません。\n理由：" + reason;
}

// The log's lines as recorded by the soak, in file order: a recorder and
// its item, or the window (-1) and its item; nothing for a line that is not
// one whole record.
std::optional<std::pair<int, int>> SoakLine(std::string_view line) {
  const auto number = [](std::string_view text, std::size_t& at) {
    int n = 0;
    const std::size_t from = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') n = n * 10 + (text[at++] - '0');
    return at > from ? n : -1;
  };
  const std::string window = "\"" + kNowText + "\t/soak/w/";
  std::size_t at;
  int who;
  if (line.starts_with(window)) {
    at = window.size();
    who = -1;
  } else {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos || tab < 10 ||
        line.substr(0, tab).find_first_not_of("0123456789/ :") != std::string_view::npos ||
        line.substr(tab + 1, 7) != "/soak/r") {
      return std::nullopt;
    }
    at = tab + 8;
    who = number(line, at);
    if (who < 0 || at >= line.size() || line[at++] != '/') return std::nullopt;
  }
  const int item = number(line, at);
  const std::string_view end = who < 0 ? "/\t\"" : "/\t";
  if (item < 0 || line.substr(at) != end) return std::nullopt;
  return std::make_pair(who, item);
}

void Select(Form1& form, int row) {
  form.List1->setCurrentIndex(form.List1->model()->index(row, 0));
}

// As the windowing system sends it: a click, then the double-click.
void DoubleClick(Form1& form, int row) {
  const QPoint at = form.List1->visualRect(form.List1->model()->index(row, 0)).center();
  QWidget* viewport = form.List1->viewport();
  QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, at);
}

// Lines an observer wrote, once there are `count` of them; extra ones that
// arrive soon after are caught too.
QStringList LinesOnceThere(const std::string& file, int count) {
  QStringList lines;
  for (int waited = 0; waited < 5000; waited += 20) {
    lines = QString::fromStdString(ReadFile(file)).split('\n', Qt::SkipEmptyParts);
    if (lines.size() >= count) break;
    QTest::qWait(20);
  }
  QTest::qWait(200);
  return QString::fromStdString(ReadFile(file)).split('\n', Qt::SkipEmptyParts);
}

bool FileManagerOnBus() {
  return QDBusConnection::sessionBus().interface()->isServiceRegistered(kFileManager).value();
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
  void cleanup();

  void EveryControlHasItsNamePlaceAndCaption();
  void AScreenReaderHearsEveryControlByItsCaptionOrHeading();
  void TheKeyboardReachesEveryControlInTabOrderAndEveryAction();
  void ADropOnTheEmptyDisabledListIsRecordedQuotedAndShownOnTop();
  void ThreeItemsInOneDropKeepDropOrderAndReloadTheSame();
  void TheListIsEnabledOnlyWhileItHoldsEntries();
  void ADropOnAPlaceThatCannotTakeTheLogIsRefusedAtOnceAndChangesNothing();
  void ADiskFillingUpMidDropTakesTheWholeDropBack();
  void DamagedAndForeignLogsShowTheirWholeRecordsAndStillTakeDrops();
  void ALogGrowingWhileTheWindowReadsItShowsOnlyWholeRecordsInOrder();
  void AwkwardDroppedNamesAreRecordedExactlyOrRefusedWithAMessage();
  void RecordersAndTheWindowWritingAtOnceLoseAndTearNothing();
  void ADropWithoutLocalPathsDoesNothing();
  void LocalFileUrisOfEveryFormAreRecorded();
  void EnterAndDoubleClickStartXdgOpenWithoutAFileManagerService();
  void EntriesGoToTheFileManagerServiceWhenOneRuns();
  void AFileManagerTheBusCanStartIsUsed();
  void AMissingItemIsReportedAndNothingOpened();
  void ClosingSavesTheShownLogFileOnlyWhenItChanged();
  void TheChooserAnswerIsTakenOnlyWhenNewAndNotEmpty();
  void TheAboutBoxIsShownModally();
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

void UiMainTest::cleanup() { dir_.reset(); }

void UiMainTest::EveryControlHasItsNamePlaceAndCaption() {
  using tallyrun::ui::TwipsRect;
  const auto form = StartedWith(log_);
  QCOMPARE(form->objectName(), QStringLiteral("Form1"));
  QCOMPARE(form->windowTitle(), QStringLiteral("ファイルログ作成ツール"));
  QCOMPARE(form->size(), tallyrun::ui::TwipsSize(7200, 5400));
  QCOMPARE(form->minimumSize(), form->maximumSize());
  QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
  QCOMPARE(form->font().families().first(), QStringLiteral("ＭＳ ゴシック"));
  QCOMPARE(form->font().pointSize(), 9);

  const QString label1 = QStringLiteral("● ログファイル保存場所（ファイル名）");
  const QString label3 = QStringLiteral("● 書き込まれたログ（一番上が最新）");
  const QString label2 = QStringLiteral(
      "↑このリストボックスに、ログを取りたいファイルやフォルダをドラッグ＆ドロップしてください。");
  struct Control {
    const char* name;
    const char* kind;
    const char* inside;
    QRect place;
    QString caption;
  };
  const Control table[] = {
      {"Label1", "QLabel", "Form1", TwipsRect(120, 120, 3330, 180), label1},
      {"Text1", "QLineEdit", "Form1", TwipsRect(120, 360, 6135, 315), QString::fromStdString(log_)},
      {"Frame1", "QFrame", "Form1", TwipsRect(6300, 240, 795, 495), {}},
      {"Command1", "QPushButton", "Frame1", TwipsRect(60, 60, 675, 375), "選択"},
      {"List1", "QListView", "Form1", TwipsRect(120, 1140, 6975, 3300), {}},
      {"Label3", "QLabel", "Form1", TwipsRect(120, 900, 3150, 180), label3},
      {"Frame2", "QFrame", "Form1", TwipsRect(5400, 4740, 1695, 555), {}},
      {"Command2", "QPushButton", "Frame2", TwipsRect(60, 120, 555, 375), "？"},
      {"Command3", "QPushButton", "Frame2", TwipsRect(840, 60, 795, 435), "終了"},
      {"Label2", "QLabel", "Form1", TwipsRect(120, 4560, 5130, 720), label2},
  };
  for (const Control& c : table) {
    const auto* control = form->findChild<QWidget*>(QLatin1String(c.name));
    QVERIFY2(control != nullptr, c.name);
    QVERIFY2(control->inherits(c.kind), c.name);
    QCOMPARE(control->parentWidget()->objectName(), QLatin1String(c.inside));
    QCOMPARE(control->geometry(), c.place);
    QString caption;
    if (const auto* label = qobject_cast<const QLabel*>(control)) caption = label->text();
    if (const auto* button = qobject_cast<const QPushButton*>(control)) caption = button->text();
    if (const auto* text = qobject_cast<const QLineEdit*>(control)) caption = text->text();
    QCOMPARE(caption, c.caption);
  }
  QCOMPARE(form->Frame1->frameShape(), QFrame::NoFrame);
  QCOMPARE(form->Frame2->frameShape(), QFrame::NoFrame);
  QCOMPARE(form->List1->selectionMode(), QAbstractItemView::SingleSelection);
  QVERIFY(form->List1->uniformItemSizes());
}

void UiMainTest::AScreenReaderHearsEveryControlByItsCaptionOrHeading() {
  WriteFile(log_, Bare(kNowText, "/a") + Bare(kNowText,
                                              "/b\x01"
                                              "c"));
  const auto form = StartedWith(log_);
  const QString label1 = QStringLiteral("● ログファイル保存場所（ファイル名）");
  const QString label3 = QStringLiteral("● 書き込まれたログ（一番上が最新）");
  const auto view = ReadAccessibleView(form.get());
  const QMap<QString, QString> expected{
      {"Label1", label1},   {"Text1", label1},
      {"Frame1", ""},       {"Command1", "選択"},
      {"List1", label3},    {"Label3", label3},
      {"Frame2", ""},       {"Command2", "？"},
      {"Command3", "終了"}, {"Label2", form->Label2->text()},
  };
  QCOMPARE(view.controls, expected);
  QVERIFY2(view.unnamed.isEmpty(), qPrintable(view.unnamed.join(", ")));
  QCOMPARE(QAccessible::queryAccessibleInterface(form.get())->text(QAccessible::Name),
           QStringLiteral("ファイルログ作成ツール"));
  // Each entry is read as it is shown, a control character as its symbol.
  QCOMPARE(AccessibleRows(form->List1), QStringList({Entry("/b␁c"), Entry("/a")}));
  // How to record from the keyboard is told where the records are.
  QVERIFY(QAccessible::queryAccessibleInterface(form->List1)
              ->text(QAccessible::Description)
              .contains(QStringLiteral("Ctrl+V")));
}

void UiMainTest::TheKeyboardReachesEveryControlInTabOrderAndEveryAction() {
  const std::string file = *dir_ / "a.txt";
  const std::string copied = *dir_ / "copied.txt";
  WriteFile(file, "x");
  WriteFile(copied, "x");
  SetModified(copied, kModified);
  // An empty list is disabled and takes no focus.
  QCOMPARE(TabWalk(StartedWith(log_)->Text1, 4),
           QStringList({"Text1", "Command1", "Command2", "Command3", "Text1"}));
  WriteFile(log_, Bare(kNowText, file));
  const auto form = StartedWith(log_);
  QCOMPARE(TabWalk(form->Text1, 5),
           QStringList({"Text1", "Command1", "List1", "Command2", "Command3", "Text1"}));
  QCOMPARE(TabWalk(form->Text1, 5, true),
           QStringList({"Text1", "Command3", "Command2", "List1", "Command1", "Text1"}));

  // A user who never touches the mouse: Enter on "選択" shows the chooser,
  // Escape leaves it; the list opens its entry on Enter; Space on "？" shows
  // the about box and Enter closes it.
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

  // Dropping needs a mouse: files copied in the file manager are pasted
  // instead, anywhere but in the text box, which pastes text.
  auto* clipboard = new QMimeData;
  clipboard->setData("text/uri-list", UriList({copied}));
  clipboard->setText(QStringLiteral("/typed.log"));
  QGuiApplication::clipboard()->setMimeData(clipboard);
  press(Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(ReadFile(log_), Bare(kNowText, file) + Quoted(copied));
  QCOMPARE(Entries(*form).front(), Entry(copied));
  form->Text1->setFocus();
  form->Text1->selectAll();
  press(Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(form->Text1->text(), QStringLiteral("/typed.log"));
  QCOMPARE(Entries(*form).size(), 2);
  // What GNOME's file managers copy works as well.
  form->Text1->setText(QString::fromStdString(log_));
  auto* gnome = new QMimeData;
  gnome->setData("x-special/gnome-copied-files", "copy\n" + Uri(file));
  QGuiApplication::clipboard()->setMimeData(gnome);
  form->Command3->setFocus();
  press(Qt::Key_Insert, Qt::ShiftModifier);
  QCOMPARE(Entries(*form).size(), 3);

  press(Qt::Key_Return);  // on "終了"
  QVERIFY(!form->isVisible());
}

void UiMainTest::ADropOnTheEmptyDisabledListIsRecordedQuotedAndShownOnTop() {
  const std::string folder = *dir_ / "a";
  const std::string file = *dir_ / "b c.txt";
  MakeFolder(folder);
  WriteFile(file, "x");
  SetModified(folder, kModified);
  SetModified(file, kModified);
  const auto form = StartedWith(log_);
  QVERIFY(!form->List1->isEnabled());

  // Only the list takes drops; elsewhere the cursor says no.
  QVERIFY(!DropOn(*form, UriList({folder}), CentreOf(form->Text1)));
  QVERIFY(!DropOn(*form, UriList({folder}), CentreOf(form->Label2)));
  QVERIFY(!FileExists(log_));

  QVERIFY(DropOn(*form, UriList({folder, file}), CentreOf(form->List1)));
  QCOMPARE(ReadFile(log_), Quoted(folder + "/") + Quoted(file));
  QCOMPARE(Entries(*form), QStringList({Entry(file), Entry(folder + "/")}));
  QVERIFY(form->List1->isEnabled());

  // A source that only offers to move its items is turned away: they stay put.
  QMimeData move_only;
  move_only.setData("text/uri-list", UriList({file}));
  QVERIFY(!DropOn(*form, move_only, CentreOf(form->List1), Qt::MoveAction));
  QCOMPARE(Entries(*form).size(), 2);
}

void UiMainTest::ThreeItemsInOneDropKeepDropOrderAndReloadTheSame() {
  const std::string older = Bare("2023/12/31", *dir_ / "old.txt");
  WriteFile(log_, older);
  std::vector<std::string> items;
  for (const char* name : {"A", "B", "日本語 C"}) {
    items.push_back(*dir_ / name);
    WriteFile(items.back(), name);
    SetModified(items.back(), kModified);
  }
  const auto form = StartedWith(log_);
  QVERIFY(DropOn(*form, UriList(items), CentreOf(form->List1)));

  QCOMPARE(ReadFile(log_), older + Quoted(items[0]) + Quoted(items[1]) + Quoted(items[2]));
  const QStringList expected{Entry(items[2]), Entry(items[1]), Entry(items[0]),
                             Entry(*dir_ / "old.txt", "2023/12/31")};
  QCOMPARE(Entries(*form), expected);
  form->GetListFromLogFile();
  QCOMPARE(Entries(*form), expected);
}

void UiMainTest::TheListIsEnabledOnlyWhileItHoldsEntries() {
  const std::string empty_log = *dir_ / "empty.log";
  WriteFile(empty_log, "");
  WriteFile(log_, Bare(kNowText, "/a") + Bare(kNowText, "/b"));
  const auto form = StartedWith(log_);
  QCOMPARE(Entries(*form), QStringList({Entry("/b"), Entry("/a")}));
  QVERIFY(form->List1->isEnabled());

  for (const std::string& other : {empty_log, *dir_ / "missing.log", std::string()}) {
    form->Text1->setText(QString::fromStdString(log_));
    form->GetListFromLogFile();
    QVERIFY(form->List1->isEnabled());
    form->Text1->setText(QString::fromStdString(other));
    form->GetListFromLogFile();
    QVERIFY(Entries(*form).isEmpty());
    QVERIFY2(!form->List1->isEnabled(), other.c_str());
  }

  form->Text1->setText(QString::fromStdString(empty_log));
  QVERIFY(DropOn(*form, UriList({log_}), CentreOf(form->List1)));
  QCOMPARE(Entries(*form).size(), 1);
  QVERIFY(form->List1->isEnabled());
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
  const auto form = StartedWith(log_);
  const QStringList shown = Entries(*form);
  QCOMPARE(shown.size(), 2);
  for (const auto& row : rows) {
    Deadline deadline(std::chrono::seconds(10), [&fifo] { LetGoOf(fifo); });
    form->Text1->setText(QString::fromStdString(row.place));  // typed: no reload
    QCOMPARE(Messages([&] { QVERIFY(DropOn(*form, UriList({item}), CentreOf(form->List1))); }),
             QStringList(Unwritable(row.place, row.reason)));
    QCOMPARE(Entries(*form), shown);
    QVERIFY(form->List1->isEnabled());
    // Read as a log, it shows nothing and says nothing.
    QVERIFY(Messages([&] { form->GetListFromLogFile(); }).isEmpty());
    QVERIFY(Entries(*form).isEmpty());
    QVERIFY(!form->List1->isEnabled());
    QVERIFY2(deadline.Met(), "the window waited on the log place");

    form->Text1->setText(QString::fromStdString(log_));
    form->GetListFromLogFile();
  }
  QCOMPARE(ReadFile(log_), earlier);
  QVERIFY(std::filesystem::is_empty(folder));
  QVERIFY(!FileExists(*dir_ / "missing"));
}

void UiMainTest::ADiskFillingUpMidDropTakesTheWholeDropBack() {
  // The last record lacks its line end; a drop puts one in first.
  const std::string earlier = Bare("2023/12/31", "/a") + "2024/01/01\t/b/\t";
  WriteFile(log_, earlier);
  std::vector<std::string> items;
  for (const char* name : {"a", "b", "c"}) {
    items.push_back(*dir_ / name);
    WriteFile(items.back(), name);
    SetModified(items.back(), kModified);
  }
  const auto form = StartedWith(log_);
  const QStringList shown = Entries(*form);
  QCOMPARE(shown.size(), 2);
  {
    const FileSizeLimit full(earlier.size() + 60);  // room for part of one record
    QCOMPARE(Messages([&] { QVERIFY(DropOn(*form, UriList(items), CentreOf(form->List1))); }),
             QStringList(Unwritable(log_, "ファイルが大きすぎます")));
  }
  QCOMPARE(ReadFile(log_), earlier);
  QCOMPARE(Entries(*form), shown);

  // With room again, the same drop goes in whole.
  QVERIFY(DropOn(*form, UriList(items), CentreOf(form->List1)));
  QCOMPARE(ReadFile(log_),
           earlier + "\r\n" + Quoted(items[0]) + Quoted(items[1]) + Quoted(items[2]));
  QCOMPARE(Entries(*form),
           QStringList({Entry(items[2]), Entry(items[1]), Entry(items[0])}) + shown);
}

void UiMainTest::DamagedAndForeignLogsShowTheirWholeRecordsAndStillTakeDrops() {
  const std::string item = *dir_ / "item.txt";
  WriteFile(item, "x");
  SetModified(item, kModified);
  const std::string nul(1, '\0');
  const std::string first = Bare("2002/06/26 9:03:14", "/a");
  const QString shown_first = Entry("/a", "2002/06/26 9:03:14");
  const QString folder = QString::fromStdString(dir_->path());
  struct Row {
    const char* name;
    std::string text;
    std::optional<QStringList> entries;  // none: whatever the damage passes for
  };
  const Row rows[] = {
      {"NUL bytes",
       first + "M2\t" + dir_->path() + nul + "x\tD\r\n" + nul + nul + "\r\nM4\t/d\tD\r\n",
       QStringList({"M2|" + folder + "␀x", shown_first})},
      {"one 20 MB line without a line end", first + "M2\t/" + std::string(20 << 20, 'x'),
       QStringList(shown_first)},
      // Shown as far as any real path goes: laying out all of it would
      // stall every repaint.
      {"a record far longer than any path",
       first + "M2\t/" + std::string(300 << 10, 'y') + "\tD\r\n",
       QStringList({"M2|/" + QString(4096 + 32 - 4, 'y') + "…", shown_first})},
      {"CP932",
       "2002/06/26 9:03:14\tC:\\\x83\x65\x83\x58\x83\x67\\\t2002/06/25\r\n"
       "\"2002/06/26 9:03:15\tC:\\\x95\x5C.txt\t\"\r\n",
       QStringList({"2002/06/26 9:03:15|C:\\表.txt", "2002/06/26 9:03:14|C:\\テスト\\"})},
      {"UTF-8 and CP932 mixed",
       "M1\t/テスト\tD\r\nM2\tC:\\\x83\x65\tD\r\n\"M3\t/表\tD\"\r\nM4\tC:\\\x95\x5C\tD\r\n",
       QStringList({"M4|C:\\表", "M3|/表", "M2|C:\\テ", "M1|/テスト"})},
      {"binary garbage", first + Garbage(7), std::nullopt},
  };
  for (const Row& row : rows) {
    WriteFile(log_, row.text);
    const auto form = StartedWith(log_);
    const QStringList entries = Entries(*form);
    if (row.entries) {
      QCOMPARE(entries, *row.entries);
    } else {
      QVERIFY2(entries.size() > 50 && entries.back() == shown_first, row.name);
      for (const QString& entry : entries) QVERIFY2(ShownWhole(entry), qPrintable(entry));
    }
    QCOMPARE(form->List1->isEnabled(), !entries.isEmpty());

    QVERIFY(DropOn(*form, UriList({item}), CentreOf(form->List1)));
    const std::string line_end = row.text.back() == '\n' ? "" : "\r\n";
    QVERIFY2(ReadFile(log_) == row.text + line_end + Quoted(item), row.name);
    QCOMPARE(Entries(*form), QStringList(Entry(item)) + entries);
  }

  // A path cut at its NUL would name the folder before it: never opened.
  WriteFile(log_, rows[0].text);
  const auto form = StartedWith(log_);
  QCOMPARE(Messages([&] { DoubleClick(*form, 0); }), QStringList(kGone));
  QTest::qWait(100);
  QCOMPARE(ReadFile(opened_), std::string());
}

void UiMainTest::ALogGrowingWhileTheWindowReadsItShowsOnlyWholeRecordsInOrder() {
  constexpr int kRuns = 40;
  constexpr int kItems = 300;
  QStringList items;
  for (int i = 0; i < kItems; ++i) items << QString("/grow/%1/%2").arg(QString(100, 'p')).arg(i);
  // Each entry, oldest first, names the item of its place: a torn or
  // misplaced record shows at once.
  const auto in_order = [&items](const QStringList& entries) {
    for (qsizetype k = 0; k < entries.size(); ++k) {
      const QString& entry = entries[entries.size() - 1 - k];
      if (!entry.endsWith('|' + items[k % kItems] + '/')) return false;
    }
    return true;
  };
  QProcess writer;
  writer.start(
      "/bin/sh",
      QStringList{"-c", QString("for i in $(seq %1); do \"$0\" \"$@\" || exit 1; done").arg(kRuns),
                  QString::fromStdString(Recorder())} +
          items);
  QVERIFY(writer.waitForStarted());
  const auto form = StartedWith(log_);
  QStringList before;
  int reads = 0;
  while (!writer.waitForFinished(0) && writer.state() != QProcess::NotRunning) {
    form->GetListFromLogFile();
    const QStringList entries = Entries(*form);
    QVERIFY(entries.size() >= before.size());
    QCOMPARE(entries.mid(entries.size() - before.size()), before);
    QVERIFY(in_order(entries));
    before = entries;
    ++reads;
  }
  QCOMPARE(writer.exitCode(), 0);
  form->GetListFromLogFile();
  const QStringList entries = Entries(*form);
  QCOMPARE(entries.size(), kRuns * kItems);
  QVERIFY(in_order(entries));
  QVERIFY(reads > 1);
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
    DropOn(*form, UriList({tab, good, cr, deep, loop, lf, not_utf8, deleted}) + mangled,
           CentreOf(form->List1), [&deleted] { ::unlink(deleted.c_str()); });
  });
  const QString folder = QString::fromStdString(dir_->path());
  QCOMPARE(messages, QStringList(kRefused + "\n" + folder + "/a␉b\n" + folder + "/c␍d\n" + folder +
                                 "/e␊f\n" + folder + "/g\uFFFD.txt\n" + folder + "/g\uFFFD.txt"));
  // What cannot be read is recorded as such, with its trailing slash.
  QCOMPARE(ReadFile(log_), earlier + Quoted(good) + Quoted(deep) + Quoted(loop + "/", "") +
                               Quoted(deleted + "/", ""));
  QCOMPARE(Entries(*form), QStringList({Entry(deleted + "/"), Entry(loop + "/"), Entry(deep),
                                        Entry(good), Entry("/a", "2023/12/31")}));

  QCOMPARE(Messages([&] {
             DoubleClick(*form, 0);
             DoubleClick(*form, 1);
             DoubleClick(*form, 2);
           }),
           QStringList({kGone, kGone}));
  QCOMPARE(LinesOnceThere(opened_, 1),
           QStringList(QString::fromStdString(deep.substr(0, deep.rfind('/')))));
}

void UiMainTest::RecordersAndTheWindowWritingAtOnceLoseAndTearNothing() {
  constexpr int kRecorders = 8;
  constexpr int kItems = 2000;
  constexpr int kPerDrop = 10;
  const auto form = StartedWith(log_);
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
  int dropped = 0;
  const auto recording = [&recorders] {
    bool any = false;
    for (const auto& r : recorders) {
      r->waitForFinished(0);
      any |= r->state() != QProcess::NotRunning;
    }
    return any;
  };
  int drops_while_recording = 0;
  const QStringList messages = Messages([&] {
    for (bool others = recording(); others || dropped < 20 * kPerDrop; others = recording()) {
      QByteArray list;
      for (int k = 0; k < kPerDrop; ++k) {
        list += "file:///soak/w/" + QByteArray::number(dropped++) + "\r\n";
      }
      QVERIFY(DropOn(*form, list, CentreOf(form->List1)));
      drops_while_recording += others;
    }
  });
  QVERIFY(drops_while_recording > 0);
  QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
  for (const auto& r : recorders) {
    QCOMPARE(r->exitStatus(), QProcess::NormalExit);
    QCOMPARE(r->exitCode(), 0);
  }

  // Every line whole and in its place: each batch (a recorder's command
  // line, a drop) in one piece, in its own order.
  const std::string log = ReadFile(log_);
  std::vector<std::vector<std::size_t>> at(kRecorders);
  std::vector<std::size_t> window_at;
  std::size_t line_number = 0;
  for (std::string_view rest = log; !rest.empty(); ++line_number) {
    const std::size_t end = rest.find("\r\n");
    QVERIFY2(end != std::string_view::npos, "the log ends in a line without its line end");
    const auto seen = SoakLine(rest.substr(0, end));
    QVERIFY2(seen, std::string(rest.substr(0, end)).c_str());
    auto& places = seen->first < 0 ? window_at : at[static_cast<std::size_t>(seen->first)];
    QCOMPARE(seen->second, static_cast<int>(places.size()));
    places.push_back(line_number);
    rest.remove_prefix(end + 2);
  }
  QCOMPARE(line_number, std::size_t{kRecorders * kItems} + static_cast<std::size_t>(dropped));
  for (const auto& places : at) {
    QCOMPARE(places.size(), std::size_t{kItems});
    QCOMPARE(places.back() - places.front(), std::size_t{kItems - 1});
  }
  QCOMPARE(window_at.size(), static_cast<std::size_t>(dropped));
  for (std::size_t n = 0; n < window_at.size(); n += kPerDrop) {
    QCOMPARE(window_at[n + kPerDrop - 1] - window_at[n], std::size_t{kPerDrop - 1});
  }
  qDebug() << "dropped" << dropped << "lines" << line_number << "first" << at[0].front()
           << at[7].front() << window_at.front() << window_at.back();
  // The window's list is what a fresh reading finds of the window's drops.
  QStringList from_window;
  for (const QString& entry : AsShown(tallyrun::ReadLogEntries(env_, log_))) {
    if (entry.contains("|/soak/w/")) from_window << entry;
  }
  QCOMPARE(from_window.size(), dropped);
  QCOMPARE(Entries(*form), from_window);
}

void UiMainTest::ADropWithoutLocalPathsDoesNothing() {
  const auto form = StartedWith(log_);
  const QStringList messages = Messages([&] {
    QVERIFY(DropOn(*form, "# a comment\r\nhttps://example.org/a.txt\r\nfile://elsewhere/x\r\n",
                   CentreOf(form->List1)));
    QMimeData text;
    text.setText(QString::fromStdString(dir_->path()));
    QVERIFY(!DropOn(*form, text, CentreOf(form->List1)));
  });
  QVERIFY(messages.isEmpty());
  QVERIFY(!FileExists(log_));
  QVERIFY(Entries(*form).isEmpty());
  QVERIFY(!form->List1->isEnabled());
}

void UiMainTest::LocalFileUrisOfEveryFormAreRecorded() {
  std::vector<std::string> items;
  for (const char* name : {"a", "b", "c", "d"}) {
    items.push_back(*dir_ / name);
    WriteFile(items.back(), name);
    SetModified(items.back(), kModified);
  }
  const std::string folder = *dir_ / "folder";
  MakeFolder(folder);
  SetModified(folder, kModified);
  const auto encoded = [](const std::string& path) {
    return QByteArray::fromStdString(path).toPercentEncoding("/");
  };
  const QByteArray list = "file://localhost" + encoded(items[0]) + "\r\n" + "FILE://" +
                          QSysInfo::machineHostName().toUtf8() + encoded(items[1]) + "\n" +
                          "file:" + encoded(items[2]) + "\r\n" + "file://" +
                          QByteArray::fromStdString(items[3]) + "\r\n" + Uri(folder) + "/";
  const auto form = StartedWith(log_);
  QVERIFY(DropOn(*form, list, CentreOf(form->List1)));
  QCOMPARE(ReadFile(log_), Quoted(items[0]) + Quoted(items[1]) + Quoted(items[2]) +
                               Quoted(items[3]) + Quoted(folder + "/"));
}

void UiMainTest::EnterAndDoubleClickStartXdgOpenWithoutAFileManagerService() {
  const std::string file = *dir_ / "f g.txt";
  const std::string folder = *dir_ / "sub";
  WriteFile(file, "x");
  MakeFolder(folder);
  WriteFile(log_, Bare(kNowText, file) + Bare(kNowText, folder + "/"));
  const auto form = StartedWith(log_);

  DoubleClick(*form, 1);  // the file: its folder opens
  Select(*form, 0);
  QTest::keyClick(form->List1, Qt::Key_Space);
  QTest::keyClick(form->List1, Qt::Key_A);
  QTest::keyClick(form->List1, Qt::Key_Return);  // the folder itself
  QStringList opened = LinesOnceThere(opened_, 2);
  opened.sort();  // the two start side by side
  QCOMPARE(opened, QStringList({QString::fromStdString(dir_->path()),
                                QString::fromStdString(folder + "/")}));
}

void UiMainTest::EntriesGoToTheFileManagerServiceWhenOneRuns() {
  const std::string called = *dir_ / "called";
  const std::string file = *dir_ / "日本 語%.txt";
  const std::string folder = *dir_ / "sub";
  WriteFile(file, "x");
  MakeFolder(folder);
  WriteFile(log_, Bare(kNowText, file) + Bare(kNowText, folder + "/"));

  QProcess manager;
  manager.start(FAKE_FILE_MANAGER, {QString::fromStdString(called)});
  QTRY_VERIFY(FileManagerOnBus());
  const auto form = StartedWith(log_);
  Select(*form, 1);
  QTest::keyClick(form->List1, Qt::Key_Enter);
  DoubleClick(*form, 0);

  const QString escaped_dir = QString::fromLatin1(Uri(dir_->path()));
  QCOMPARE(LinesOnceThere(called, 2),
           QStringList({"ShowItems\t" + escaped_dir + "/%E6%97%A5%E6%9C%AC%20%E8%AA%9E%25.txt\t",
                        "ShowFolders\t" + escaped_dir + "/sub/\t"}));
  QCOMPARE(ReadFile(opened_), std::string());
  manager.terminate();
  QVERIFY(manager.waitForFinished());
}

void UiMainTest::AFileManagerTheBusCanStartIsUsed() {
  const std::string called = *dir_ / "called";
  const std::string service = std::string(TEST_SERVICE_DIR) + "/file-manager.service";
  WriteFile(service, "[D-BUS Service]\nName=org.freedesktop.FileManager1\nExec=" +
                         std::string(FAKE_FILE_MANAGER) + " " + called + " --once\n");
  ReloadBusConfig();
  WriteFile(log_, Bare(kNowText, dir_->path() + "/"));
  const auto form = StartedWith(log_);
  DoubleClick(*form, 0);
  const QStringList lines = LinesOnceThere(called, 1);
  ::unlink(service.c_str());
  ReloadBusConfig();
  QCOMPARE(lines, QStringList("ShowFolders\t" + QString::fromLatin1(Uri(dir_->path())) + "/\t"));
  QTRY_VERIFY(!FileManagerOnBus());
}

void UiMainTest::AMissingItemIsReportedAndNothingOpened() {
  const std::string plain = *dir_ / "plain.txt";
  const std::string hidden = *dir_ / ".hidden";
  const std::string empty_folder = *dir_ / "empty";
  WriteFile(plain, "x");
  WriteFile(hidden, "x");
  MakeFolder(empty_folder);
  // Oldest first; the list shows them the other way round.
  WriteFile(log_, Bare(kNowText, empty_folder + "/") + Bare(kNowText, hidden) +
                      Bare(kNowText, *dir_ / "gone.txt") + Bare(kNowText, plain + "/"));
  const auto form = StartedWith(log_);

  const QString gone =
      QStringLiteral("ウィンドウオープン中断|ファイル／フォルダが存在しないようです。");
  QStringList messages = Messages([&] {
    QTest::keyClick(form->List1, Qt::Key_Return);  // nothing selected
    DoubleClick(*form, 0);                         // a file recorded as unreadable
    DoubleClick(*form, 1);                         // gone
  });
  QCOMPARE(messages, QStringList({gone, gone}));
  QCOMPARE(Entries(*form).size(), 4);

  // What exists opens, whatever it holds or however it is named.
  messages = Messages([&] {
    DoubleClick(*form, 2);
    DoubleClick(*form, 3);
  });
  QVERIFY(messages.isEmpty());
  QStringList opened = LinesOnceThere(opened_, 2);
  opened.sort();  // the two start side by side
  QCOMPARE(opened, QStringList({QString::fromStdString(dir_->path()),
                                QString::fromStdString(empty_folder + "/")}));
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

void UiMainTest::TheAboutBoxIsShownModally() {
  const auto form = StartedWith(log_);
  bool shown = false;
  WhileModal([&] { QTest::mouseClick(form->Command2, Qt::LeftButton); },
             [&](QWidget* modal) {
               shown = qobject_cast<tallyrun::ui::Form3*>(modal) != nullptr &&
                       modal->parentWidget() == form.get();
               modal->close();
             });
  QVERIFY(shown);
  QVERIFY(form->isVisible());
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
