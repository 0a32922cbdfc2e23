// End to end: the built program copied into a temporary folder, so that the
// settings file and default log beside it are the test's own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/log_reader.h"
#include "platform/code_page.h"
#include "platform/system_env.h"
#include "tests/test_support.h"

namespace tallyrun {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Generous enough for a run under valgrind; a program that blocks is ended
// by the alarm and the test fails instead of hanging.
constexpr unsigned kTimeoutSeconds = 120;

struct Outcome {
  int status;  // -1 when the program was killed, as by the alarm
  std::string errors;
};

struct Record {
  std::string moment, path, modified;
};

// Earlier records in every form a log may hold: bare, quoted, and a line
// from a Japanese Windows system.
const std::string kEarlier =
    "2002/06/26 9:03:14\t/home/u/a.txt\t2002/06/25 8:00:00\r\n"
    "\"2002/06/26 9:03:15\t/home/u/b c/\t2002/06/25\"\r\n"
    "2002/06/26 9:03:16\tC:\\\x83\x65\x83\x58\x83\x67\\\t\r\n";

std::vector<Record> Records(std::string_view text) {
  std::vector<Record> records;
  while (!text.empty()) {
    std::size_t end = text.find("\r\n");
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(0, end);
    const std::size_t first = line.find('\t');
    const std::size_t second = line.find('\t', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) {
      ADD_FAILURE() << "not a record: " << line;
      return records;
    }
    records.push_back({std::string(line.substr(0, first)),
                       std::string(line.substr(first + 1, second - first - 1)),
                       std::string(line.substr(second + 1))});
    text.remove_prefix(std::min(text.size(), end + 2));
  }
  return records;
}

// "yyyy/MM/dd", then " H:mm:ss" unless at midnight; 9 stands for a digit.
bool IsMoment(std::string_view s) {
  for (const std::string_view form : {"9999/99/99", "9999/99/99 9:99:99", "9999/99/99 99:99:99"}) {
    bool fits = s.size() == form.size();
    for (std::size_t i = 0; fits && i < s.size(); ++i) {
      fits = form[i] == '9' ? s[i] >= '0' && s[i] <= '9' : s[i] == form[i];
    }
    if (fits) return true;
  }
  return false;
}

std::vector<std::string> Entries(const std::string& log) {
  platform::SystemEnv env;
  const LogEntries entries = ReadLogEntries(env, log);
  std::vector<std::string> out;
  for (std::size_t i = 0; i < entries.size(); ++i) out.emplace_back(entries[i]);
  return out;
}

using Snapshot = std::map<std::string, std::string>;

// Every file under a folder with its contents, and the kind of anything else,
// so that a run can be checked to the byte for what it changed.
Snapshot Take(const std::string& root, const std::string& skip) {
  namespace fs = std::filesystem;
  Snapshot files;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string path = it->path().string();
    if (path == skip) {
      it.disable_recursion_pending();
      continue;
    }
    const fs::file_status st = it->symlink_status();
    files[path] = st.type() == fs::file_type::regular
                      ? ReadFile(path)
                      : "<kind " + std::to_string(static_cast<int>(st.type())) + ">";
  }
  return files;
}

// The paths made, changed or removed between two snapshots.
std::vector<std::string> Changed(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> changed;
  for (const auto& [path, contents] : after) {
    const auto old = before.find(path);
    if (old == before.end() || old->second != contents) changed.push_back(path);
  }
  for (const auto& [path, contents] : before) {
    if (!after.contains(path)) changed.push_back(path);
  }
  return changed;
}

struct Options {
  std::string cwd;
  rlim_t file_size_limit = RLIM_INFINITY;
};

class CommandLine : public ::testing::Test {
 protected:
  CommandLine() {
    std::filesystem::copy_file(TALLYRUN_EXE, exe_);
    ::mkdir(work_.c_str(), 0755);
    ::mkdir(errors_dir_.c_str(), 0755);
  }

  Outcome Start(const std::vector<std::string>& args, const Options& options = {}) {
    const std::string errors = errors_dir_ + "/stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv{const_cast<char*>(exe_.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::alarm(kTimeoutSeconds);
      if (options.file_size_limit != RLIM_INFINITY) {
        const rlimit limit{options.file_size_limit, options.file_size_limit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
      }
      if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
      if (!std::freopen(errors.c_str(), "w", stderr)) ::_exit(126);
      ::execv(exe_.c_str(), argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(errors)};
  }

  void Settings(const std::string& log_file) {
    WriteFile(settings_, "[Tallyrun]\r\nLogFile=" + log_file + "\r\n");
  }
  std::string Log() const { return ReadFile(log_); }
  Snapshot TakeSnapshot() const { return Take(dir_.path(), errors_dir_); }

  TempDir dir_;
  const std::string exe_ = dir_ / "tallyrun";
  const std::string settings_ = dir_ / "Tallyrun.ini";
  const std::string log_ = dir_ / "Tallyrun.log";
  const std::string work_ = dir_ / "work";
  // Kept apart so that the program's own folder can be compared to the byte.
  const std::string errors_dir_ = dir_ / "errors";
};

std::string CannotWrite(const std::string& shown, const std::string& reason) {
  return "tallyrun: ログファイル「" + shown + "」に書き込めません: " + reason + "\n";
}

TEST_F(CommandLine, RecordsEveryItemInOrderAsBareLines) {
  const std::string file = work_ + "/a b.txt";
  const std::string folder = work_ + "/フォルダ";
  WriteFile(file, "x");
  ::mkdir(folder.c_str(), 0755);
  WriteFile(log_, kEarlier);
  const Outcome run = Start({file, folder, work_ + "/gone.txt", ""});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.errors, "");
  const std::string log = Log();
  ASSERT_EQ(log.substr(0, kEarlier.size()), kEarlier);
  const std::vector<Record> added = Records(log.substr(kEarlier.size()));
  ASSERT_EQ(added.size(), 4u) << log;
  const std::string paths[] = {file, folder + "/", work_ + "/gone.txt/", "/"};
  for (std::size_t i = 0; i < added.size(); ++i) {
    EXPECT_TRUE(IsMoment(added[i].moment)) << added[i].moment;
    EXPECT_EQ(added[i].path, paths[i]);
    EXPECT_EQ(!added[i].modified.empty(), i < 2) << paths[i];
    if (i < 2) {
      EXPECT_TRUE(IsMoment(added[i].modified)) << added[i].modified;
    }
  }
}

TEST_F(CommandLine, RelativeItemsAreRecordedWithTheirFullPath) {
  WriteFile(work_ + "/r.txt", "x");
  ::mkdir((work_ + "/sub").c_str(), 0755);
  ::mkdir((work_ + "/.hidden").c_str(), 0755);
  const Outcome run = Start({"r.txt", "sub", "gone", ".hidden", "sub/../r.txt"}, {.cwd = work_});
  EXPECT_EQ(run.status, 0) << run.errors;
  const std::vector<Record> added = Records(Log());
  ASSERT_EQ(added.size(), 5u);
  const std::string paths[] = {work_ + "/r.txt", work_ + "/sub/", work_ + "/gone/",
                               work_ + "/.hidden", work_ + "/sub/../r.txt"};
  for (std::size_t i = 0; i < added.size(); ++i) {
    EXPECT_EQ(added[i].path, paths[i]);
    EXPECT_EQ(added[i].modified.empty(), i == 2) << paths[i];
  }
}

// One row per shape of settings file: where the record lands, and the
// settings file itself left as it was.
TEST_F(CommandLine, SettingsFilesOfAnyShapeNeverStopTheRecording) {
  std::mt19937 random(5);
  std::string garbage(4096, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  const std::string cp932_name = "\x83\x65\x83\x58\x83\x67.log";  // テスト.log
  const std::string long_value(10000, 'v');
  struct Row {
    const char* name;
    std::function<void()> make;
    std::string lands_in;
  };
  const Row rows[] = {
      {"binary garbage", [&] { WriteFile(settings_, garbage); }, log_},
      {"CP932", [&] { Settings(work_ + "/" + cp932_name); }, work_ + "/テスト.log"},
      {"duplicate sections and keys",
       [&] {
         WriteFile(settings_, "[Tallyrun]\r\nLogFile=" + work_ + "/first.log\r\nlogfile=" + work_ +
                                  "/second.log\r\n[TALLYRUN]\r\nLogFile=" + work_ +
                                  "/third.log\r\n");
       },
       work_ + "/first.log"},
      {"a 10,000-byte value beside the setting",
       [&] {
         WriteFile(settings_, "[Tallyrun]\r\nOther=" + long_value + "\r\nLogFile=" + work_ +
                                  "/l.log\r\n[Else]\r\nLogFile=" + long_value + "\r\n");
       },
       work_ + "/l.log"},
      {"empty", [&] { WriteFile(settings_, ""); }, log_},
      {"a folder", [&] { ::mkdir(settings_.c_str(), 0755); }, log_},
      {"a FIFO", [&] { ::mkfifo(settings_.c_str(), 0644); }, log_},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove_all(settings_);
    row.make();
    WriteFile(row.lands_in, kEarlier);
    const Snapshot before = TakeSnapshot();
    const Outcome run = Start({"/"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.errors, "");
    const Snapshot after = TakeSnapshot();
    EXPECT_EQ(Changed(before, after), std::vector<std::string>{row.lands_in});
    const std::string log = ReadFile(row.lands_in);
    ASSERT_EQ(log.substr(0, std::min(log.size(), kEarlier.size())), kEarlier);
    const std::vector<Record> added = Records(log.substr(kEarlier.size()));
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].path, "/");
  }
}

// One row per place a log cannot be kept: the user hears which file and why,
// the program ends with status 1, and no file anywhere is changed or made.
TEST_F(CommandLine, AnUnusableLogIsReportedAndChangesNothing) {
  const std::string socket_path = work_ + "/socket";
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::symlink("self", (work_ + "/self").c_str()), 0);
  const std::string nul_value = work_ + "/nul.log" + std::string(1, '\0') + "x";
  const std::string long_value = "/" + std::string(9999, 'v');

  struct Row {
    const char* name;
    std::string value;
    std::string shown;
    std::vector<std::string> reasons;  // any one of them
  };
  const std::string not_regular = "通常のファイルではありません";
  const Row rows[] = {
      {"empty", "", "", {"ファイル名が指定されていません"}},
      {"a folder", work_, work_, {"フォルダです"}},
      {"in a missing folder",
       work_ + "/missing/t.log",
       work_ + "/missing/t.log",
       {"ファイルまたはフォルダが見つかりません"}},
      // Root may open it, but the system refuses the write.
      {"a file under /proc",
       "/proc/version",
       "/proc/version",
       {"入出力エラーが発生しました", "アクセスが拒否されました"}},
      {"/dev/full", "/dev/full", "/dev/full", {not_regular}},
      {"/dev/null", "/dev/null", "/dev/null", {not_regular}},
      {"a socket", socket_path, socket_path, {not_regular}},
      {"a link to itself",
       work_ + "/self",
       work_ + "/self",
       {"シンボリックリンクが循環しています"}},
      {"a NUL in the setting",
       nul_value,
       work_ + "/nul.log\\x00x",
       {"パスに NUL 文字が含まれています"}},
      {"a 10,000-byte value", long_value, long_value, {"パスが長すぎます"}},
  };
  WriteFile(log_, kEarlier);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Settings(row.value);
    const Snapshot before = TakeSnapshot();
    const Outcome run = Start({"/", work_});
    EXPECT_EQ(run.status, 1);
    bool named = false;
    for (const std::string& reason : row.reasons) {
      named = named || run.errors == CannotWrite(row.shown, reason);
    }
    EXPECT_TRUE(named) << run.errors.substr(0, 400);
    EXPECT_EQ(Changed(before, TakeSnapshot()), std::vector<std::string>{});
  }
  ::close(sock);
}

TEST_F(CommandLine, AFifoIsRefusedAtOnceWithoutEverBeingOpened) {
  const std::string fifo = work_ + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  // A reader already waits on it: had the program opened it for writing even
  // for a moment, the reader would see the writer come and go.
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  Settings(fifo);
  const Outcome run = Start({"/"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.errors, CannotWrite(fifo, "通常のファイルではありません"));
  pollfd p{reader, POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 0), 0) << "revents " << p.revents;
  ::close(reader);
}

// The file-size limit stands in for a full disk: the write stops part way
// through the batch, and the part that got in is taken back.
TEST_F(CommandLine, AFullDiskTakesBackTheWholeBatch) {
  // Long enough that the limit leaves room for the message on stderr.
  std::string earlier;
  for (int i = 0; i < 20; ++i) earlier += kEarlier;
  const std::vector<std::string> items(50, work_);
  for (const rlim_t room : {rlim_t{0}, rlim_t{100}}) {
    SCOPED_TRACE(room);
    WriteFile(log_, earlier);
    const Outcome run = Start(items, {.cwd = "", .file_size_limit = earlier.size() + room});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, CannotWrite(log_, "ファイルが大きすぎます"));
    EXPECT_TRUE(Log() == earlier);
  }
}

TEST_F(CommandLine, NamesThatCannotBeOneLineAreRefusedAndTheRestRecorded) {
  WriteFile(log_, kEarlier);
  // The last one would also clear the screen, were it shown as it is.
  const Outcome run =
      Start({"/", "/tab\there", "/cr\rhere", work_, "/lf\nhere", "/\x1B[2J\xC2\x9B\t"});
  EXPECT_EQ(run.status, 1);
  const std::string refused = "」は名前にタブか改行を含むため記録できません\n";
  EXPECT_EQ(run.errors, "tallyrun: 「/tab\\there" + refused + "tallyrun: 「/cr\\rhere" + refused +
                            "tallyrun: 「/lf\\nhere" + refused +
                            "tallyrun: 「/\\x1B[2J\\xC2\\x9B\\t" + refused);
  const std::string log = Log();
  ASSERT_EQ(log.substr(0, kEarlier.size()), kEarlier);
  const std::vector<Record> added = Records(log.substr(kEarlier.size()));
  ASSERT_EQ(added.size(), 2u);
  EXPECT_EQ(added[0].path, "/");
  EXPECT_EQ(added[1].path, work_ + "/");
}

// Names the system allows but that stretch the log: each is recorded byte for
// byte, and the log still reads back whole.
TEST_F(CommandLine, OddNamesAreRecordedByteForByteAndTheLogReadsBack) {
  const std::string not_utf8 = work_ + "/\xFF\xFE-\x83\x65.txt";
  WriteFile(not_utf8, "x");
  // 4,000 bytes, an existing file some forty folders deep.
  std::string deep = work_;
  while (4000 - deep.size() > 201) {
    deep += "/" + std::string(100, 'd');
    ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
  }
  deep += "/" + std::string(4000 - deep.size() - 1, 'f');
  WriteFile(deep, "x");
  ASSERT_EQ(deep.size(), 4000u);
  const std::string too_long = work_ + "/" + std::string(5000, 'x');
  const std::string self = work_ + "/self";
  ASSERT_EQ(::symlink("self", self.c_str()), 0);

  WriteFile(log_, kEarlier);
  const Outcome run = Start({not_utf8, deep, too_long, self, "/"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.errors, "");
  const std::string log = Log();
  ASSERT_EQ(log.substr(0, kEarlier.size()), kEarlier);
  const std::vector<Record> added = Records(log.substr(kEarlier.size()));
  ASSERT_EQ(added.size(), 5u);
  const std::string paths[] = {not_utf8, deep, too_long + "/", self + "/", "/"};
  const bool dated[] = {true, true, false, false, true};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_TRUE(IsMoment(added[i].moment));
    EXPECT_TRUE(added[i].path == paths[i]) << i;
    EXPECT_EQ(!added[i].modified.empty(), dated[i]) << i;
  }

  // Newest first; a line that is not UTF-8 is taken as CP932, as a log
  // carried over from Windows would be.
  const std::vector<std::string> entries = Entries(log_);
  ASSERT_EQ(entries.size(), 8u);
  for (std::size_t i = 0; i < 5; ++i) {
    const std::string path = i == 0 ? platform::Cp932ToUtf8(paths[0]) : paths[i];
    EXPECT_TRUE(entries[4 - i] == added[i].moment + "|" + path) << i;
  }
  EXPECT_EQ(entries[5], "2002/06/26 9:03:16|C:\\テスト\\");
  EXPECT_EQ(entries[6], "2002/06/26 9:03:15|/home/u/b c/");
  EXPECT_EQ(entries[7], "2002/06/26 9:03:14|/home/u/a.txt");
}

TEST_F(CommandLine, FiftyThousandArgumentsAreAllRecordedInOrder) {
  constexpr int kItems = 50000;
  std::vector<std::string> items;
  for (int i = 0; i < kItems; ++i) items.push_back("i" + std::to_string(i));
  WriteFile(work_ + "/i7", "x");
  WriteFile(log_, kEarlier);
  const Outcome run = Start(items, {.cwd = work_});
  EXPECT_EQ(run.status, 0) << run.errors;
  const std::string log = Log();
  ASSERT_EQ(log.substr(0, kEarlier.size()), kEarlier);
  const std::vector<Record> added = Records(log.substr(kEarlier.size()));
  ASSERT_EQ(added.size(), std::size_t{kItems});
  for (int i = 0; i < kItems; ++i) {
    ASSERT_EQ(added[i].path, work_ + "/" + items[i] + (i == 7 ? "" : "/"));
  }
  EXPECT_EQ(Entries(log_).size(), std::size_t{kItems + 3});
}

// Eight recorders at the same moment, each with its own 2,000 items: every
// line arrives once, whole, each recorder's batch in one piece, and a fresh
// read of the log agrees line for line.
TEST_F(CommandLine, ConcurrentRecordersLoseTearAndInterleaveNothing) {
  constexpr int kRecorders = 8;
  constexpr int kItems = 2000;
  std::vector<std::vector<std::string>> items(kRecorders);
  for (int r = 0; r < kRecorders; ++r) {
    const std::string folder = "r" + std::to_string(r);
    ASSERT_EQ(::mkdir((work_ + "/" + folder).c_str(), 0755), 0);
    for (int i = 0; i < kItems; ++i) {
      items[r].push_back(folder + "/f" + std::to_string(i));
      // Every other item exists, so both record forms are in the mix.
      if (i % 2 == 0) WriteFile(work_ + "/" + items[r].back(), "");
    }
  }
  WriteFile(log_, kEarlier);
  std::vector<pid_t> pids;
  for (int r = 0; r < kRecorders; ++r) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv{const_cast<char*>(exe_.c_str())};
      for (const std::string& a : items[r]) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::alarm(kTimeoutSeconds);
      if (::chdir(work_.c_str()) != 0) ::_exit(126);
      ::execv(exe_.c_str(), argv.data());
      ::_exit(127);
    }
    pids.push_back(pid);
  }
  for (const pid_t pid : pids) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  const std::string log = Log();
  ASSERT_EQ(log.substr(0, kEarlier.size()), kEarlier);
  const std::vector<Record> added = Records(log.substr(kEarlier.size()));
  ASSERT_EQ(added.size(), std::size_t{kRecorders * kItems});
  std::vector<bool> seen(kRecorders, false);
  for (std::size_t at = 0; at < added.size(); at += kItems) {
    const std::string& first = added[at].path;
    const std::size_t r_at = work_.size() + 2;
    ASSERT_GT(first.size(), r_at);
    const int r = first[r_at] - '0';
    ASSERT_TRUE(r >= 0 && r < kRecorders && !seen[r]) << first;
    seen[r] = true;
    for (int i = 0; i < kItems; ++i) {
      const Record& record = added[at + i];
      ASSERT_EQ(record.path, work_ + "/" + items[r][i] + (i % 2 == 0 ? "" : "/"));
      ASSERT_TRUE(IsMoment(record.moment));
      ASSERT_EQ(record.modified.empty(), i % 2 == 1);
    }
  }

  const std::vector<std::string> entries = Entries(log_);
  ASSERT_EQ(entries.size(), added.size() + 3);
  for (std::size_t i = 0; i < added.size(); ++i) {
    const Record& record = added[added.size() - 1 - i];
    ASSERT_EQ(entries[i], record.moment + "|" + record.path);
  }
}

}  // namespace
}  // namespace tallyrun
