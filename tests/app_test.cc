// End to end: the built program copied into a temporary folder, so that the
// settings file and default log beside it are the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace tallyrun {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct Outcome {
  int status;
  std::string errors;
};

class CommandLine : public ::testing::Test {
 protected:
  CommandLine() {
    std::filesystem::copy_file(TALLYRUN_EXE, exe_);
    ::mkdir(work_.c_str(), 0755);
  }

  Outcome Start(const std::vector<std::string>& args, const std::string& cwd = "") {
    const std::string errors = dir_ / "stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv{const_cast<char*>(exe_.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
      if (!std::freopen(errors.c_str(), "w", stderr)) ::_exit(126);
      ::execv(exe_.c_str(), argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(errors)};
  }

  std::string Log() const { return ReadFile(dir_ / "Tallyrun.log"); }

  TempDir dir_;
  const std::string exe_ = dir_ / "tallyrun";
  const std::string work_ = dir_ / "work";
};

const std::string kMoment = R"(\d{4}/\d\d/\d\d( \d{1,2}:\d\d:\d\d)?)";

void ExpectLines(const std::string& log, const std::vector<std::string>& patterns) {
  std::string expected;
  for (const std::string& p : patterns) expected += kMoment + "\t" + p + "\r\n";
  EXPECT_TRUE(std::regex_match(log, std::regex(expected))) << log;
}

std::string Quote(const std::string& s) {
  return std::regex_replace(s, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

TEST_F(CommandLine, RecordsEveryItemInOrderAsBareLines) {
  const std::string file = work_ + "/a b.txt";
  const std::string folder = work_ + "/フォルダ";
  WriteFile(file, "x");
  ::mkdir(folder.c_str(), 0755);
  const Outcome run = Start({file, folder, work_ + "/gone.txt", ""});
  EXPECT_EQ(run.status, 0) << run.errors;
  ExpectLines(Log(), {Quote(file) + "\t" + kMoment, Quote(folder) + "/\t" + kMoment,
                      Quote(work_) + "/gone\\.txt/\t", "/\t"});
}

TEST_F(CommandLine, RelativeItemsAreRecordedWithTheirFullPath) {
  WriteFile(work_ + "/r.txt", "x");
  ::mkdir((work_ + "/sub").c_str(), 0755);
  ::mkdir((work_ + "/.hidden").c_str(), 0755);
  const Outcome run = Start({"r.txt", "sub", "gone", ".hidden", "sub/../r.txt"}, work_);
  EXPECT_EQ(run.status, 0) << run.errors;
  ExpectLines(Log(), {Quote(work_) + "/r\\.txt\t" + kMoment, Quote(work_) + "/sub/\t" + kMoment,
                      Quote(work_) + "/gone/\t", Quote(work_) + "/\\.hidden\t" + kMoment,
                      Quote(work_) + "/sub/\\.\\./r\\.txt\t" + kMoment});
}

TEST_F(CommandLine, FollowsTheSettingsFileEvenWhenWrittenInCp932) {
  const std::string cp932_name = "\x83\x65\x83\x58\x83\x67.log";  // テスト.log
  WriteFile(dir_ / "Tallyrun.ini", "[Tallyrun]\r\nLogFile=" + work_ + "/" + cp932_name + "\r\n");
  ASSERT_EQ(Start({"/"}).status, 0);
  ExpectLines(ReadFile(work_ + "/テスト.log"), {"/\t" + kMoment});
  EXPECT_FALSE(testing::FileExists(dir_ / "Tallyrun.log"));
}

TEST_F(CommandLine, NamesThatCannotBeOneLineAreRefusedAndTheRestRecorded) {
  const Outcome run = Start({"/", "/tab\there", "/tmp"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("/tab\there"), std::string::npos) << run.errors;
  ExpectLines(Log(), {"/\t" + kMoment, "/tmp/\t" + kMoment});
}

TEST_F(CommandLine, AnUnwritableLogIsReportedAndNothingIsWritten) {
  for (const std::string& log :
       {std::string(), work_, std::string("/dev/full"), work_ + "/missing/t.log"}) {
    WriteFile(dir_ / "Tallyrun.ini", "[Tallyrun]\r\nLogFile=" + log + "\r\n");
    const Outcome run = Start({"/"});
    EXPECT_EQ(run.status, 1) << log;
    EXPECT_NE(run.errors.find("ログファイル「" + log + "」"), std::string::npos) << run.errors;
  }
}

TEST_F(CommandLine, ConcurrentRecordersKeepEveryLineWhole) {
  constexpr int kRecorders = 6;
  std::vector<std::string> items;
  for (int i = 0; i < 300; ++i) items.push_back(work_ + "/item" + std::to_string(i));
  std::vector<pid_t> pids;
  for (int r = 0; r < kRecorders; ++r) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv{const_cast<char*>(exe_.c_str())};
      for (const std::string& a : items) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(exe_.c_str(), argv.data());
      ::_exit(127);
    }
    pids.push_back(pid);
  }
  for (const pid_t pid : pids) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  const std::string log = Log();
  const std::regex line(kMoment + "\t" + Quote(work_) + "/item\\d+/\t\r\n");
  std::size_t count = 0;
  for (std::size_t at = 0; at < log.size(); ++count) {
    const std::size_t end = log.find("\r\n", at) + 2;
    ASSERT_TRUE(std::regex_match(log.substr(at, end - at), line)) << log.substr(at, end - at);
    at = end;
  }
  EXPECT_EQ(count, items.size() * kRecorders);
}

}  // namespace
}  // namespace tallyrun
