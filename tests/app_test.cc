// End to end: the built program copied into a temporary folder, so that the
// settings file and default log beside it are the test's own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/build_facts.h"
#include "core/log_reader.h"
#include "core/utf8.h"
#include "platform/system_env.h"
#include "tests/test_support.h"

namespace tallyrun {
namespace {

using testing::ReadFile;
using testing::WriteFile;
using V = std::vector<std::string>;
using Outcome = std::pair<int, std::string>;  // exit status (-1: killed), stderr
const Outcome kQuiet{0, ""};

// Earlier records in every form a log may hold: bare, quoted, and a line
// from a Japanese Windows system.
const std::string kEarlier =
    "2002/06/26 9:03:14\t/home/u/a.txt\t2002/06/25 8:00:00\r\n"
    "\"2002/06/26 9:03:15\t/home/u/b c/\t2002/06/25\"\r\n"
    "2002/06/26 9:03:16\tC:\\\x83\x65\x83\x58\x83\x67\\\t\r\n";

// A bare record, with "T" for a moment; its exact form is the core's to test.
std::string Rec(const std::string& path, bool dated = true) {
  return "T\t" + path + "\t" + (dated ? "T" : "");
}

// The records a run added after the earlier ones, which must be intact.
V Added(const std::string& log) {
  EXPECT_EQ(log.substr(0, kEarlier.size()), kEarlier);
  EXPECT_TRUE(log.ends_with("\r\n"));
  auto is_moment = [&log](std::size_t at) { return log[at + 4] == '/' && log[at + 7] == '/'; };
  V added;
  for (std::size_t at = kEarlier.size(), end; at < log.size(); at = end + 2) {
    end = std::min(log.find("\r\n", at), log.size());
    const std::size_t first = log.find('\t', at), last = log.rfind('\t', end);
    const bool dated = last + 1 < end;
    added.push_back(first < last && last < end && is_moment(at) && (!dated || is_moment(last + 1))
                        ? Rec(log.substr(first + 1, last - first - 1), dated)
                        : "not a record: " + log.substr(at, end - at));
  }
  return added;
}

V ReadBackPaths(const std::string& log) {
  platform::SystemEnv env;
  V paths;
  for (const std::string& entry : ReadEntries(env, log)) paths.emplace_back(EntryPath(entry));
  return paths;
}

struct Conditions {
  rlim_t file_size_limit = RLIM_INFINITY;
  bool folder_deleted = false;
  std::string output = {};       // where stdout goes, when not to a file of the test's
  std::vector<int> closed = {};  // descriptors closed at the start
};

class CommandLine : public ::testing::Test {
 protected:
  CommandLine() {
    std::filesystem::copy_file(TALLYRUN_EXE, exe_);
    ::mkdir(work_.c_str(), 0755);
  }

  pid_t Spawn(const V& args, const Conditions& when = {}) {
    // Else the child writes the test's pending output again, when it
    // reopens stdout, and past its file-size limit when that is a file.
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    std::vector<char*> argv{const_cast<char*>(exe_.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::alarm(120);  // a blocked run fails the test; valgrind's runs fit
    const rlimit limit{when.file_size_limit, when.file_size_limit};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || ::chdir(work_.c_str()) != 0 ||
        !std::freopen(errors_.c_str(), "w", stderr) ||
        !std::freopen(when.output.empty() ? output_.c_str() : when.output.c_str(), "w", stdout) ||
        (when.folder_deleted && ::rmdir(work_.c_str()) != 0)) {
      ::_exit(126);
    }
    for (const int fd : when.closed) ::close(fd);
    ::execv(exe_.c_str(), argv.data());
    ::_exit(127);
  }
  static int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  Outcome Run(const V& args, const Conditions& when = {}) {
    const int status = Wait(Spawn(args, when));
    return {status, ReadFile(errors_)};
  }

  void Settings(const std::string& log_file) {
    WriteFile(settings_, "[Tallyrun]\r\nLogFile=" + log_file + "\r\n");
  }
  // Every item under the program's folder, with a file's contents, so that
  // a run can be checked to the byte for what it changed.
  std::map<std::string, std::string> Take(const std::string& skip = "") const {
    std::map<std::string, std::string> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(dir_.path())) {
      const auto type = item.symlink_status().type();
      if (item.path() == skip || item.path() == errors_ || item.path() == output_) continue;
      const bool regular = type == std::filesystem::file_type::regular;
      // A huge (sparse) file is known by its size.
      files[item.path()] = !regular ? "<kind " + std::to_string(static_cast<int>(type)) + ">"
                           : item.file_size() > (1 << 24)
                               ? "<size " + std::to_string(item.file_size()) + ">"
                               : ReadFile(item.path());
    }
    return files;
  }

  testing::TempDir dir_;
  const std::string exe_ = dir_ / "tallyrun", settings_ = dir_ / "Tallyrun.ini";
  const std::string log_ = dir_ / "Tallyrun.log", work_ = dir_ / "work";
  const std::string errors_ = dir_ / "stderr", output_ = dir_ / "stdout";
};

// Refused names are shown so that they cannot work the terminal.
TEST_F(CommandLine, EveryItemIsRecordedExactlyInOrderOrRefusedWithAMessage) {
  WriteFile(work_ + "/a b.txt", "x");
  ::mkdir((work_ + "/フォルダ").c_str(), 0755);
  const std::string not_utf8 = work_ + "/\xFF\xFE-\x83\x65.txt";
  WriteFile(not_utf8, "x");
  std::string deep = work_;  // an existing file of 4,000 bytes' path
  while (4000 - deep.size() > 201) {
    deep += "/" + std::string(100, 'd');
    ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
  }
  deep += "/" + std::string(4000 - deep.size() - 1, 'f');
  WriteFile(deep, "x");
  const std::string too_long = work_ + "/" + std::string(5000, 'x');
  ASSERT_EQ(::symlink("self", (work_ + "/self").c_str()), 0);
  const std::string stray = work_ + "/テ\xFFスト";  // UTF-8 but for one byte
  WriteFile(stray, "x");
  WriteFile(log_, kEarlier);

  const Outcome run =
      Run({dir_ / "work/a b.txt", "フォルダ", "gone.txt", "", "/tab\there", "/cr\rhere", not_utf8,
           deep, "/lf\nhere", too_long, "self", "/\x1B[2J\xC2\x9B\xE2\x80\xAE\x9B\t", "..",
           "./フォルダ//.././フォルダ", stray});
  const std::string refused = "」は名前にタブか改行を含むため記録できません\n";
  EXPECT_EQ(
      run,
      (Outcome{1, "tallyrun: 「/tab\\there" + refused + "tallyrun: 「/cr\\rhere" + refused +
                      "tallyrun: 「/lf\\nhere" + refused +
                      "tallyrun: 「/\\x1B[2J\\u009B\\u202E\\x9B\\t" + refused +
                      "tallyrun: 見つからないため日付なしで記録しました: 「gone.txt」 「」 「" +
                      too_long + "」 「self」\n"}));
  // No line for a refused name; a plain folder or an unreadable item gains a
  // "/"; relative names are made full and normalised.
  const V expected({Rec(work_ + "/a b.txt"), Rec(work_ + "/フォルダ/"),
                    Rec(work_ + "/gone.txt/", false), Rec("/", false), Rec(not_utf8), Rec(deep),
                    Rec(too_long + "/", false), Rec(work_ + "/self/", false),
                    Rec(dir_.path() + "/"), Rec(work_ + "/フォルダ/"), Rec(stray)});
  EXPECT_EQ(Added(ReadFile(log_)), expected);
  // Stray bytes are carried so that the exact name can be found again.
  const V back = ReadBackPaths(log_);
  ASSERT_EQ(back.size(), expected.size() + 3);
  EXPECT_EQ(StraysRestored(back[0]), stray);
  EXPECT_EQ(StraysRestored(back[6]), not_utf8);
}

// One row per shape of settings file: where the record lands, and nothing
// else changed, the settings file included. One that is there but cannot be
// read is named, and nothing is recorded anywhere.
TEST_F(CommandLine, SettingsFilesOfAnyShapeGiveTheirLogOrAreNamed) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>(i * 7919 % 251));
  const struct {
    std::string contents, lands_in;
    mode_t kind = S_IFREG;
    off_t sparse_size = 0;
    bool named = false;
  } rows[] = {
      {garbage, log_},
      {"", log_, S_IFIFO, 0, true},
      // Only the start of a huge file is read: the key sits there.
      {"[Tallyrun]\r\nLogFile=" + work_ + "/big.log\r\n", work_ + "/big.log", S_IFREG,
       off_t{2} << 30},
      // A name is its bytes, also when they are no text.
      {"[Tallyrun]\r\nLogFile=" + work_ + "/caf\xE9.log\r\n", work_ + "/caf\xE9.log"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.lands_in + " " + std::to_string(row.kind));
    std::filesystem::remove_all(settings_);
    if (row.kind == S_IFREG) WriteFile(settings_, row.contents);
    if (row.kind == S_IFIFO) ::mkfifo(settings_.c_str(), 0644);
    if (row.sparse_size != 0) {
      ASSERT_EQ(::truncate(settings_.c_str(), row.sparse_size), 0);
    }
    WriteFile(row.lands_in, kEarlier);
    const auto before = Take(row.lands_in);
    const Outcome named{1, "tallyrun: 設定ファイル「" + settings_ +
                               "」を読めません: 通常のファイルではありません\n"};
    EXPECT_EQ(Run({"/"}), row.named ? named : kQuiet);
    EXPECT_EQ(Take(row.lands_in), before);
    EXPECT_EQ(Added(ReadFile(row.lands_in)), row.named ? V{} : V{Rec("/")});
  }
}

TEST_F(CommandLine, AnUnusableLogIsReportedAndChangesNothing) {
  // A reader already waits on the FIFO: had the program opened it for
  // writing even for a moment, the reader would see the writer come and go.
  const std::string fifo = work_ + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_EQ(::symlink("self", (work_ + "/self").c_str()), 0);
  // Long enough that a full disk still leaves room for the message on stderr.
  std::string earlier;
  for (int i = 0; i < 20; ++i) earlier += kEarlier;
  WriteFile(log_, earlier);
  const std::string not_regular = "通常のファイルではありません";
  const struct {
    std::string value;
    std::string reason;
    rlim_t file_size_limit = RLIM_INFINITY;
  } rows[] = {
      {"", "ファイル名が指定されていません"},
      {work_, "フォルダです"},
      {work_ + "/missing/t.log", "フォルダが見つかりません"},
      {log_ + "/", "フォルダでないものがフォルダとして指定されています"},
      // Kernel interfaces, which root could even write to.
      {"/proc/sys/kernel/hostname", not_regular},
      {"/dev/full", not_regular},
      {fifo, not_regular},
      {work_ + "/self", "シンボリックリンクが循環しています"},
      {"/" + std::string(9999, 'v'), "パスが長すぎます"},
      // The file-size limit stands in for a full disk, before the batch
      // or part way through it: the part that got in is taken back.
      {log_, "ファイルが大きすぎます", earlier.size()},
      {log_, "ファイルが大きすぎます", earlier.size() + 100},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.value.substr(0, 100));
    Settings(row.value);
    const auto before = Take();
    EXPECT_EQ(Run(V(50, work_), {row.file_size_limit}),
              (Outcome{1, "tallyrun: ログファイル「" + row.value +
                              "」に書き込めません: " + row.reason + "\n"}));
    EXPECT_EQ(Take(), before);
  }
  pollfd p{reader, POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 0), 0) << "revents " << p.revents;
  ::close(reader);
}

TEST_F(CommandLine, ALogLockedByAnotherProgramIsGivenUpAfterAWhile) {
  WriteFile(log_, kEarlier);
  const int holder = ::open(log_.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_EQ(Run({"/"}), (Outcome{1, "tallyrun: ログファイル「" + log_ +
                                        "」に書き込めません: ほかのプログラムがこのファイルを"
                                        "ロックしたままです（10 秒待ちました）\n"}));
  EXPECT_EQ(ReadFile(log_), kEarlier);
  const pid_t releaser = ::fork();
  if (releaser == 0) {
    ::usleep(500000);
    ::_exit(::flock(holder, LOCK_UN));
  }
  ::close(holder);
  EXPECT_EQ(Run({"/"}), kQuiet);
  EXPECT_EQ(Wait(releaser), 0);
  EXPECT_EQ(Added(ReadFile(log_)), V{Rec("/")});
}

TEST_F(CommandLine, EarlierRecordsSurviveACutTailAFullDiskAndADeletedFolder) {
  const std::string cut = "2002/06/26 9:03:17\t/home/u/cu";
  WriteFile(log_, kEarlier + cut);
  EXPECT_EQ(Run({"/"}), kQuiet);
  EXPECT_EQ(ReadFile(log_).substr(0, kEarlier.size() + cut.size() + 2), kEarlier + cut + "\r\n");
  EXPECT_EQ(ReadBackPaths(log_).size(), 4u);

  // Nothing could be taken back from a log that can only be appended to: a
  // batch past the file-size limit is refused before any of it is written.
  // Long enough that valgrind's own files fit under the limit too.
  std::string earlier;
  for (int i = 0; i < 20; ++i) earlier += kEarlier;
  WriteFile(log_, earlier);
  if (std::system(("chattr +a " + log_ + " 2>/dev/null").c_str()) == 0) {
    const Outcome full = Run(V(50, work_), {earlier.size() + 1000});
    EXPECT_EQ(std::system(("chattr -a " + log_).c_str()), 0);
    EXPECT_EQ(full, (Outcome{1, "tallyrun: ログファイル「" + log_ +
                                    "」に書き込めません: ファイルが大きすぎます\n"}));
    EXPECT_EQ(ReadFile(log_), earlier);
  }

  WriteFile(log_, kEarlier);
  const Outcome run = Run({"rel", "/"}, {.folder_deleted = true});
  EXPECT_EQ(run.first, 1);
  EXPECT_TRUE(run.second.starts_with("tallyrun: 「rel」は相対パスですが")) << run.second;
  EXPECT_EQ(Added(ReadFile(log_)), V{Rec("/")});
}

TEST_F(CommandLine, FiftyThousandArgumentsAreAllRecordedInOrder) {
  V items;
  for (int i = 0; i < 50000; ++i) items.push_back("i" + std::to_string(i));
  WriteFile(log_, kEarlier);
  const Outcome run = Run(items);
  EXPECT_EQ(run.first, 0);
  EXPECT_TRUE(run.second.ends_with("「i9」 ほか 49990 件\n")) << run.second;
  const V paths = ReadBackPaths(log_);
  ASSERT_EQ(paths.size(), items.size() + 3);
  EXPECT_EQ(paths.front(), work_ + "/i49999/");
}

// Each recorder's batch arrives once, whole and in one piece.
TEST_F(CommandLine, ConcurrentRecordersLoseTearAndInterleaveNothing) {
  constexpr int kRecorders = 8;
  constexpr std::size_t kItems = 2000;
  std::vector<V> items(kRecorders), expected(kRecorders);
  for (int r = 0; r < kRecorders; ++r) {
    ASSERT_EQ(::mkdir((work_ + "/r" + std::to_string(r)).c_str(), 0755), 0);
    for (std::size_t i = 0; i < kItems; ++i) {
      items[r].push_back("r" + std::to_string(r) + "/f" + std::to_string(i));
      // Every other item exists, so both record forms are in the mix.
      if (i % 2 == 0) WriteFile(work_ + "/" + items[r].back(), "");
      expected[r].push_back(Rec(work_ + "/" + items[r][i] + (i % 2 ? "/" : ""), i % 2 == 0));
    }
  }
  WriteFile(log_, kEarlier);
  std::vector<pid_t> pids;
  for (const V& batch : items) pids.push_back(Spawn(batch));
  for (const pid_t pid : pids) EXPECT_EQ(Wait(pid), 0);

  const V added = Added(ReadFile(log_));
  ASSERT_EQ(added.size(), kRecorders * kItems);
  for (std::size_t at = 0; at < added.size(); at += kItems) {
    const auto batch =
        std::ranges::find(expected, V(added.begin() + at, added.begin() + at + kItems));
    ASSERT_NE(batch, expected.end()) << "torn, mixed or repeated at " << at;
    batch->clear();
  }
  const V paths = ReadBackPaths(log_);
  ASSERT_EQ(paths.size(), added.size() + 3);
  for (std::size_t i = 0, k = added.size() - 1; i < added.size(); ++i, --k)
    ASSERT_EQ(Rec(paths[i], added[k].back() == 'T'), added[k]);
}

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
  WriteFile(work_ + "/--version", "x");
  WriteFile(log_, kEarlier);
  EXPECT_EQ(Run({"--version"}), kQuiet);
  EXPECT_EQ(Run({"-h", "--version"}),
            (Outcome{0, "tallyrun: 見つからないため日付なしで記録しました: 「-h」\n"}));
  EXPECT_EQ(ReadFile(output_), "");
  EXPECT_EQ(Added(ReadFile(log_)),
            (V{Rec(work_ + "/--version"), Rec(work_ + "/-h/", false), Rec(work_ + "/--version")}));
  // An answer that cannot be shown is no answer.
  const std::string lost = "tallyrun: 「-h」の答えを標準出力に書けません: ";
  EXPECT_EQ(Run({"-h"}, {.output = "/dev/full"}),
            (Outcome{1, lost + "ディスクの空き容量が足りません\n"}));
  EXPECT_EQ(Run({"-h"}, {.closed = {1}}), (Outcome{1, lost + "閉じられています\n"}));
}

TEST_F(CommandLine, TheWindowProgramGetsAllThreeStandardStreamsOrIsNamedWhenItCannotStart) {
  WriteFile(dir_ / "tallyrun-window", "not a program");
  EXPECT_EQ(Run({}), (Outcome{1, "tallyrun: ウィンドウのプログラム「" + dir_ / "tallyrun-window" +
                                     "」を起動できません: アクセスが拒否されました\n"}));
  // Started without standard streams, the window still gets all three, on
  // the null device: no display connection may take the number of stderr.
  WriteFile(dir_ / "tallyrun-window",
            "#!/bin/sh\nreadlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2 | cat >\"$0.fds\"\n");
  ::chmod((dir_ / "tallyrun-window").c_str(), 0755);
  EXPECT_EQ(Run({}, {.closed = {0, 1, 2}}).first, 0);
  EXPECT_EQ(ReadFile(dir_ / "tallyrun-window.fds"), "/dev/null\n/dev/null\n/dev/null\n");
}

}  // namespace
}  // namespace tallyrun
