// End to end, on Linux and on Windows alike: the built program copied into a
// temporary folder (with a blank in its name), so that the settings file and
// default log beside it are the test's own, run as a child whose exit code,
// error stream and log are compared to the byte. What each system does its
// own way comes as rows of its own beside the shared ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/build_facts.h"
#include "core/log_reader.h"
#include "core/utf8.h"
#include "core/visible_text.h"
#include "platform/clock.h"
#include "platform/system_env.h"
#include "tests/test_support.h"

#ifdef _WIN32
#include "tests/win32_test_support.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tallyrun::testing {
namespace {

using V = std::vector<std::string>;
const std::string S(1, kPathSeparator);
#ifdef _WIN32
const std::string kProgram = "Tallyrun.exe", kSaid = "Tallyrun: ", kEnd = "\r\n";
#else
const std::string kProgram = "tallyrun", kSaid = "tallyrun: ", kEnd = "\n";
#endif
const Outcome kQuiet{0, ""};
const LocalTime kT1{2002, 6, 26, 9, 3, 14}, kT2{2002, 6, 25, 0, 0, 0};

// Earlier records in every form a log may hold: bare, quoted, a line from a
// Japanese Windows system, and one cut short.
const std::string kEarlier =
    "2002/06/26 9:03:14\t/home/u/a.txt\t2002/06/25 8:00:00\r\n"
    "\"2002/06/26 9:03:15\t/home/u/b c/\t2002/06/25\"\r\n"
    "2002/06/26 9:03:16\tC:\\\x83\x65\x83\x58\x83\x67\\\t\r\n"
    "2002/06/26 9:03:17\t/home/u/cu";

// A record made by the last run, its recording moment shown as "T".
std::string Rec(const std::string& path, const std::string& modified = "") {
  return "T\t" + path + "\t" + modified + "\r\n";
}

// The program's messages on its error stream.
std::string Said(const V& lines) {
  std::string said;
  for (const std::string& line : lines) said += kSaid + line + kEnd;
  return said;
}

// The newest `n` records' paths, newest first, as the log is read back.
V ReadBack(const std::string& log, std::size_t n) {
  platform::SystemEnv env;
  V paths;
  for (const std::string& entry : ReadEntries(env, log))
    if (paths.size() < n) paths.push_back(StraysRestored(EntryPath(entry)));
  return paths;
}

// Another program holding the whole file locked while this lives.
struct Lock {
#ifdef _WIN32
  explicit Lock(const std::string& path)
      : h(::CreateFileW(W(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)) {
    EXPECT_TRUE(::LockFile(h, 0, 0, MAXDWORD, MAXDWORD));
  }
  ~Lock() { ::CloseHandle(h); }
  HANDLE h;
#else
  explicit Lock(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    EXPECT_EQ(::flock(fd, LOCK_EX), 0);
  }
  ~Lock() { ::close(fd); }
  int fd;
#endif
};

struct Conditions {
  std::uint64_t file_size_limit = 0;  // none
  std::string output = {};            // where stdout goes, when not to a file of the test's
  std::vector<int> closed = {};       // descriptors closed at the start
};

class CommandLine : public ::testing::Test {
 protected:
  CommandLine() {
    MakeFolder(program_);
    MakeFolder(work_);
#ifdef _WIN32
    std::filesystem::copy_file(Native(TestProgramFolder() + "\\Tallyrun.exe"), Native(exe_));
#else
    std::filesystem::copy_file(TALLYRUN_EXE, exe_);
#endif
    Item("a.txt", kT1);
  }

  // A file, or a folder, in work_ modified at `t`.
  void Item(const std::string& name, const LocalTime& t, bool folder = false) {
    folder ? MakeFolder(work_ + S + name) : WriteFile(work_ + S + name, "x");
    SetModified(work_ + S + name, t);
  }

  // Runs the program in work_; Log() then knows the moments the run took.
  Outcome Run(const V& args, [[maybe_unused]] const Conditions& when = {}) {
    from_ = std::time(nullptr);
#ifdef _WIN32
    std::wstring line;
    for (const std::string& a : args) line += (line.empty() ? L"\"" : L" \"") + W(a) + L"\"";
    const Outcome outcome = RunProgram(exe_, line, work_);
#else
    // Else the child writes the test's pending output again, when it
    // reopens stdout, and past its file-size limit when that is a file.
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv{const_cast<char*>(exe_.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::alarm(120);  // a blocked run fails the test; valgrind's runs fit
      const rlim_t size = when.file_size_limit ? when.file_size_limit : RLIM_INFINITY;
      const rlimit limit{size, size};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::chdir(work_.c_str()) != 0 ||
          !std::freopen(errors_.c_str(), "w", stderr) ||
          !std::freopen(when.output.empty() ? output_.c_str() : when.output.c_str(), "w", stdout))
        ::_exit(126);
      for (const int fd : when.closed) ::close(fd);
      ::execv(exe_.c_str(), argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : 256u + WTERMSIG(status),
                          ReadFile(errors_)};
#endif
    to_ = std::time(nullptr);
    return outcome;
  }

  // The file with each recording moment of the last run shown as "T".
  std::string Log(const std::string& path) const {
    std::string log = "\n" + ReadFile(path);
    for (std::time_t s = from_; s <= to_; ++s) {
      const std::string moment = "\n" + Moment(platform::ToLocalTime(s)) + "\t";
      for (std::size_t at = 0; (at = log.find(moment, at)) != std::string::npos; at += 3)
        log.replace(at, moment.size(), "\nT\t");
    }
    return log.substr(1);
  }

  // Every item under the test's folder, with a file's contents, so that a
  // run can be checked to the byte for what it changed.
  std::map<std::filesystem::path, std::string> Take(const std::string& skip = "") const {
    std::map<std::filesystem::path, std::string> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(Native(dir_.path()))) {
      if (item.path() == Native(skip) || item.path() == Native(errors_) ||
          item.path() == Native(output_))
        continue;
      std::ostringstream contents;
      if (item.symlink_status().type() == std::filesystem::file_type::regular)
        contents << std::ifstream(item.path(), std::ios::binary).rdbuf();
      else
        contents << "<kind " << int(item.symlink_status().type());
      files[item.path()] = contents.str();
    }
    return files;
  }

  TempDir dir_;
  const std::string program_ = dir_ / "Tallyrun Program", work_ = dir_ / "work";
  std::string exe_ = program_ + S + kProgram;
  const std::string settings_ = program_ + S + "Tallyrun.ini", log_ = program_ + S + "Tallyrun.log";
  const std::string errors_ = dir_ / "stderr", output_ = dir_ / "stdout";
  const std::string a_ = work_ + S + "a.txt";
  std::time_t from_ = 0, to_ = 0;
};

// A plain folder or an item that cannot be read gains a separator; a missing
// one is recorded undated and named once. Names the system cannot hold, or
// that would break a line, are refused each with a message that cannot work
// the terminal, and get no line.
TEST_F(CommandLine, EveryItemIsRecordedInOrderWithItsModifiedMomentOrRefusedWithAMessage) {
  const std::string w = work_ + S, tabs = "」は名前にタブか改行を含むため記録できません";
  Item("plain", kT2, true);
  Item("a b.txt", kT1);
  // clang-format off
  struct Row { std::string argument, path, modified = "", said = ""; };
#ifdef _WIN32
  ASSERT_EQ(::GetACP(), 932u) << "run with LANG=ja_JP.UTF-8";
  const std::string bad =
      "」は記録できません: Windows の名前に使えない文字（: * ? \" < > | や制御文字）を含みます";
  std::vector<Row> rows = {{"x?y", "", "", "「x?y" + bad}, {"dir\\c:d", "", "", "「dir\\c:d" + bad},
                           {"CON", "", "", "「CON」は記録できません: Windows の装置名です"}};
#else
  // A name is its bytes, also when they are not UTF-8; one that cannot be
  // looked up (a link to itself) is recorded as unreadable.
  const std::string not_utf8 = "\xFF\xFE-\x83\x65.txt";
  Item(not_utf8, kT1);
  ASSERT_EQ(::symlink("self", (w + "self").c_str()), 0);
  std::vector<Row> rows = {
      {"/cr\rhere", "", "", "「/cr\\rhere" + tabs}, {"/lf\nhere", "", "", "「/lf\\nhere" + tabs},
      {not_utf8, w + not_utf8, Moment(kT1)}, {"self", w + "self/"}};
#endif
  rows.insert(rows.end(), {
      {"plain", w + "plain" + S, Moment(kT2)}, {"gone.txt", w + "gone.txt" + S}, {"", S},
      {"tab\there", "", "", "「tab\\there" + tabs}, {"a b.txt", w + "a b.txt", Moment(kT1)}});
  // clang-format on
  // Thousands more, all missing (a Windows command line holds 32,767
  // characters at most): the note names the first ten.
  for (int i = 0; i < 3000; ++i)
    rows.push_back({"i" + std::to_string(i), w + "i" + std::to_string(i) + S});
  V args, said, paths, missing;
  std::string log = kEarlier + "\r\n";
  for (const Row& row : rows) {
    args.push_back(row.argument);
    if (!row.said.empty()) said.push_back(row.said);
    if (row.path.empty()) continue;
    log += Rec(row.path, row.modified);
    paths.insert(paths.begin(), row.path);
    if (row.modified.empty()) missing.push_back(" 「" + row.argument + "」");
  }
  said.push_back(std::accumulate(missing.begin(), missing.begin() + 10,
                                 std::string("見つからないため日付なしで記録しました:")) +
                 " ほか " + std::to_string(missing.size() - 10) + " 件");
  WriteFile(log_, kEarlier);
  EXPECT_EQ(Run(args), (Outcome{1, Said(said)}));
  EXPECT_EQ(Log(log_), log);
  EXPECT_EQ(ReadBack(log_, paths.size()), paths);
#ifdef _WIN32
  // Read back as recorded: in CP932 where its bytes read so, in UTF-8 where
  // they would not (ﾃＢ is also Âa) or it cannot hold them (é, ☕).
  V names = {"ﾃｽﾄ１.txt", "ﾒｰﾙ１.txt", "ﾕｰｻﾞｰ.txt", "ひなまつり.txt", "ﾃＢ.txt", "café☕.txt"};
  for (const std::string& name : names) WriteFile(w + name, "x");
  EXPECT_EQ(Run(names), kQuiet);
  std::ranges::reverse(names);
  for (std::string& name : names) name = w + name;
  EXPECT_EQ(ReadBack(log_, names.size()), names);
#endif
}

// Where the log set, or the settings file's shape, leaves the batch: in the
// log, or reported with nothing changed, the settings file included. The
// file-size limit stands in for a full disk, before the batch or part way
// through it: the part that got in is taken back.
TEST_F(CommandLine, TheLogSetGetsTheBatchOrIsReportedAndNothingElseChanges) {
  // Long enough that a full disk still leaves room for the message on stderr.
  std::string earlier, garbage, records;
  for (int i = 0; i < 20; ++i) earlier += kEarlier + "\r\n";
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>(i * 7919 % 251));
  for (int i = 0; i < 50; ++i) records += Rec(a_, Moment(kT1));
  struct Row {
    std::string value, reason;  // no reason: the batch lands in the log set
    std::uint64_t file_size_limit = 0;
    bool locked = false;
    std::string settings = "";  // the whole file, when it is not simply the value
  };
  // clang-format off
  std::vector<Row> rows = {
      {log_, "", 0, false, garbage}, {"", "ファイル名が指定されていません"}, {work_, "フォルダです"},
      {work_ + S + "missing" + S + "t.log", "フォルダが見つかりません"},
      {log_, "ほかのプログラムがこのファイルをロックしたままです（10 秒待ちました）", 0, true}};
#ifdef _WIN32
  const std::string read_only = dir_ / "read-only.log";
  WriteFile(read_only, earlier);
  ASSERT_TRUE(::SetFileAttributesW(W(read_only).c_str(), FILE_ATTRIBUTE_READONLY));
  rows.insert(rows.end(),
              {{read_only, "アクセスが拒否されました"},
               {dir_ / "caf\xE9.log", "パスに文字として読めないバイトが含まれています"},
               // In the system's code page; ﾒｰﾙ１ in CP932 is also UTF-8 (ҰقP).
               {dir_ / "ﾒｰﾙ１.log", "", 0, false,
                "[Tallyrun]\r\nLogFile=" + dir_.path() + "\\\xD2\xB0\xD9\x82\x50.log\r\n"}});
#else
  const std::string fifo = work_ + "/fifo", not_regular = "通常のファイルではありません";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_EQ(::symlink("self", (work_ + "/self").c_str()), 0);
  rows.insert(rows.end(), {
      {log_ + "/", "フォルダでないものがフォルダとして指定されています"},
      // Kernel interfaces, which root could even write to.
      {"/proc/sys/kernel/hostname", not_regular}, {fifo, not_regular},
      {work_ + "/self", "シンボリックリンクが循環しています"}, {"/" + std::string(9999, 'v'), "パスが長すぎます"},
      {log_, "ファイルが大きすぎます", earlier.size()}, {log_, "ファイルが大きすぎます", earlier.size() + 100}});
#endif
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value.substr(0, 100));
    const bool lands = row.reason.empty();
    WriteFile(settings_,
              row.settings.empty() ? "[Tallyrun]\r\nLogFile=" + row.value : row.settings);
    WriteFile(lands ? row.value : log_, earlier);
    const auto before = Take(lands ? row.value : "");
    std::optional<Lock> lock;
    if (row.locked) lock.emplace(log_);
    const std::string log = VisibleText(row.value, ControlStyle::kEscapes);
    const Outcome said{1, Said({"ログファイル「" + log + "」に書き込めません: " + row.reason})};
    EXPECT_EQ(Run(V(50, a_), {row.file_size_limit}), lands ? kQuiet : said);
    lock.reset();
    EXPECT_EQ(Take(lands ? row.value : ""), before);
    if (lands) {
      EXPECT_EQ(Log(row.value), earlier + records);
    }
  }
#ifdef _WIN32
  ::SetFileAttributesW(W(read_only).c_str(), FILE_ATTRIBUTE_NORMAL);  // for the folder's removal
#else
  // A settings file that is there but cannot be read is named, and nothing
  // is recorded anywhere.
  std::filesystem::remove(settings_);
  ASSERT_EQ(::mkfifo(settings_.c_str(), 0644), 0);
  EXPECT_EQ(Run({a_}),
            (Outcome{1, Said({"設定ファイル「" + settings_ + "」を読めません: " + not_regular})}));
  EXPECT_EQ(ReadFile(log_), earlier);
#endif
}

#ifdef _WIN32

TEST_F(CommandLine, TheLogIsKeptInAppDataWhenTheProgramsFolderIsClosed) {
  // Prepared by the test script: a copy in a folder this user cannot write.
  exe_ = TestProgramFolder() + "\\closed\\Tallyrun.exe";
  if (!std::filesystem::exists(W(exe_))) GTEST_SKIP() << "no closed copy of the program";
  const std::string app_data = dir_ / "AppData";
  MakeFolder(app_data);
  const SetEnv app(L"APPDATA", app_data);
  EXPECT_EQ(Run({a_}), kQuiet);
  EXPECT_EQ(Log(app_data + "\\Tallyrun\\Tallyrun.log"), Rec(a_, Moment(kT1)));
}

#else

// A lone --help, -h or --version that names nothing in the current folder is
// a question, answered on stdout with nothing recorded; otherwise every
// argument is still an item.
TEST_F(CommandLine, ALoneHelpOrVersionIsAnsweredUnlessSuchAnItemExists) {
  const std::string version = std::string("tallyrun ") + kVersion + "\n";
  for (const std::string question : {"--help", "-h", "--version"}) {
    EXPECT_EQ(Run({question}), kQuiet);
    EXPECT_TRUE(ReadFile(output_).starts_with(question == "--version" ? version : "使い方: "));
  }
  EXPECT_FALSE(std::filesystem::exists(log_));
  Item("--version", kT1);
  EXPECT_EQ(Run({"--version"}), kQuiet);
  EXPECT_EQ(Run({"-h", "--version"}),
            (Outcome{0, Said({"見つからないため日付なしで記録しました: 「-h」"})}));
  EXPECT_EQ(ReadFile(output_), "");
  EXPECT_EQ(ReadBack(log_, 3), (V{work_ + "/--version", work_ + "/-h/", work_ + "/--version"}));
  // An answer that cannot be shown is no answer.
  const std::string lost = "「-h」の答えを標準出力に書けません: ";
  EXPECT_EQ(Run({"-h"}, {.output = "/dev/full"}),
            (Outcome{1, Said({lost + "ディスクの空き容量が足りません"})}));
  EXPECT_EQ(Run({"-h"}, {.closed = {1}}), (Outcome{1, Said({lost + "閉じられています"})}));
}

TEST_F(CommandLine, TheWindowProgramGetsAllThreeStandardStreamsOrIsNamedWhenItCannotStart) {
  const std::string window = program_ + "/tallyrun-window";
  WriteFile(window, "not a program");
  EXPECT_EQ(Run({}), (Outcome{1, Said({"ウィンドウのプログラム「" + window +
                                       "」を起動できません: アクセスが拒否されました"})}));
  // Started without standard streams, the window still gets all three, on
  // the null device: no display connection may take the number of stderr.
  WriteFile(window,
            "#!/bin/sh\nreadlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2 | cat >\"$0.fds\"\n");
  ::chmod(window.c_str(), 0755);
  EXPECT_EQ(Run({}, {.closed = {0, 1, 2}}).exit_code, 0u);
  EXPECT_EQ(ReadFile(window + ".fds"), "/dev/null\n/dev/null\n/dev/null\n");
}

#endif

}  // namespace
}  // namespace tallyrun::testing
