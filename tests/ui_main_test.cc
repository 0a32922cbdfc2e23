// The main window driven as a user would drive it: drops, reloads, opening
// entries, the chooser's answer and closing, with real files in a temporary
// folder, a fake xdg-open first on PATH and a file manager on a private bus.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractItemModel>
#include <QApplication>
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

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/test_support.h"
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

// Drags `data` over the window to `at` and lets go, as the windowing system
// does: through the window, which picks the widget under the cursor.
bool DropOn(Form1& form, const QMimeData& data, QPoint at,
            Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction) {
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
  QCoreApplication::processEvents();  // recording follows the drop
  return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

bool DropOn(Form1& form, const QByteArray& uri_list, QPoint at) {
  QMimeData data;
  data.setData(QStringLiteral("text/uri-list"), uri_list);
  return DropOn(form, data, at);
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

  void EveryControlHasItsNamePlaceCaptionAndAccessibleName();
  void TabVisitsTheControlsInTheirOrder();
  void ADropOnTheEmptyDisabledListIsRecordedQuotedAndShownOnTop();
  void ThreeItemsInOneDropKeepDropOrderAndReloadTheSame();
  void TheListIsEnabledOnlyWhileItHoldsEntries();
  void AnUnwritableLogIsReportedAndNothingIsListed();
  void NamesThatCannotBeOneLogLineAreRefusedAndTheOthersRecorded();
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

void UiMainTest::EveryControlHasItsNamePlaceCaptionAndAccessibleName() {
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
    QString accessible;
  };
  const Control table[] = {
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
    QCOMPARE(control->accessibleName(), c.accessible);
  }
  QCOMPARE(form->Frame1->frameShape(), QFrame::NoFrame);
  QCOMPARE(form->Frame2->frameShape(), QFrame::NoFrame);
  QCOMPARE(form->List1->selectionMode(), QAbstractItemView::SingleSelection);
  QVERIFY(form->List1->uniformItemSizes());
}

void UiMainTest::TabVisitsTheControlsInTheirOrder() {
  WriteFile(log_, Bare(kNowText, "/a"));
  const auto form = StartedWith(log_);
  QApplication::setActiveWindow(form.get());
  QVERIFY(QTest::qWaitForWindowActive(form.get()));
  form->Text1->setFocus();
  QStringList visited{QApplication::focusWidget()->objectName()};
  for (int i = 0; i < 5; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  QCOMPARE(visited, QStringList({"Text1", "Command1", "List1", "Command2", "Command3", "Text1"}));
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

void UiMainTest::AnUnwritableLogIsReportedAndNothingIsListed() {
  const std::string item = *dir_ / "item.txt";
  WriteFile(item, "x");
  const auto form = StartedWith(dir_->path());  // a folder cannot be a log
  QStringList messages = Messages([&] { DropOn(*form, UriList({item}), CentreOf(form->List1)); });
  QCOMPARE(messages,
           QStringList("ログ書き込み中断|ログファイル「" + QString::fromStdString(dir_->path()) +
                       "」に書き込めません。\n理由：フォルダです"));
  QVERIFY(Entries(*form).isEmpty());
  QVERIFY(!form->List1->isEnabled());

  form->Text1->clear();
  messages = Messages([&] { DropOn(*form, UriList({item}), CentreOf(form->List1)); });
  QCOMPARE(messages, QStringList("ログ書き込み中断|ログファイル「」に書き込めません。\n"
                                 "理由：ファイル名が指定されていません"));
  QVERIFY(Entries(*form).isEmpty());
}

void UiMainTest::NamesThatCannotBeOneLogLineAreRefusedAndTheOthersRecorded() {
  const std::string good = *dir_ / "good.txt";
  const std::string tab = *dir_ / "a\tb";
  const std::string newline = *dir_ / "c\nd";
  const std::string not_utf8 = *dir_ / "e\xff.txt";
  for (const std::string& p : {good, tab, newline, not_utf8}) WriteFile(p, "x");
  SetModified(good, kModified);
  const auto form = StartedWith(log_);

  const QStringList messages = Messages([&] {
    DropOn(*form, UriList({tab, good, newline, not_utf8}), CentreOf(form->List1));
  });
  const QString folder = QString::fromStdString(dir_->path());
  QCOMPARE(messages,
           QStringList("ログ書き込み中断|次の項目は名前にタブや改行、または扱えない文字を含むため、"
                       "記録しませんでした。\n" +
                       folder + "/a␉b\n" + folder + "/c␊d\n" + folder + "/e\uFFFD.txt"));
  QCOMPARE(ReadFile(log_), Quoted(good));
  QCOMPARE(Entries(*form), QStringList(Entry(good)));
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
