// The recording core on the Windows platform layer: the moment's text, the
// log's bytes and reading them back.
#include <gtest/gtest.h>

#include <vector>

#include "core/log_reader.h"
#include "platform/system_env.h"
#include "tests/win32_test_support.h"

namespace tallyrun::testing {
namespace {

// The forms themselves are compared in the program's own records.
TEST(MomentText, IsEmptyBeyondWhatTheDateFormHolds) {
  platform::SystemEnv env;
  for (const LocalTime& t : {LocalTime{1500, 1, 1, 0, 0, 0}, LocalTime{10000, 1, 1, 0, 0, 0}}) {
    std::string text;
    env.AppendMomentText(text, t);
    EXPECT_EQ(text, "") << t.year;
  }
}

TEST(LogLines, UseTheAnsiCodePageWhereItHoldsThemElseUtf8AndReadBackAlike) {
  ASSERT_EQ(::GetACP(), 932u) << "run with LANG=ja_JP.UTF-8";
  TempDir dir;
  const std::string log = dir / "a.log";
  platform::SystemEnv env;
  ASSERT_TRUE(env.AppendLines(log, "T1\tC:\\ｶﾅ～\t\r\nT2\tC:\\日本語☕\t\r\n").ok());
  EXPECT_EQ(ReadBytes(log), "T1\tC:\\\xB6\xC5\x81\x60\t\r\nT2\tC:\\日本語☕\t\r\n");

  const LogEntries entries = ReadLogEntries(env, log);
  std::vector<std::string> read;
  for (std::size_t i = 0; i < entries.size(); ++i) read.emplace_back(entries[i]);
  EXPECT_EQ(read, (std::vector<std::string>{"T2|C:\\日本語☕", "T1|C:\\ｶﾅ～"}));
}

}  // namespace
}  // namespace tallyrun::testing
