// The recording core on the Windows platform layer: the moment's text, the
// log's bytes and reading them back.
#include <gtest/gtest.h>

#include "core/log_reader.h"
#include "platform/system_env.h"
#include "tests/win32_test_support.h"

namespace tallyrun::testing {
namespace {

LocalTime L(const SYSTEMTIME& t) {
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

TEST(MomentText, IsTheUsersShortDateAndLongTimeAndTheDateAloneAtMidnight) {
  platform::SystemEnv env;
  for (const SYSTEMTIME& t : {At(2002, 6, 26, 9, 3, 14), At(2002, 6, 26, 0, 0, 0),
                              At(2002, 6, 26, 0, 0, 1), At(9999, 12, 31, 23, 59, 59)}) {
    std::string text;
    env.AppendMomentText(text, L(t));
    EXPECT_EQ(text, Moment(t));
  }
  std::string midnight;
  env.AppendMomentText(midnight, L(At(2002, 6, 26, 0, 0, 0)));
  EXPECT_EQ(midnight.find(' '), std::string::npos) << midnight;
  // Beyond what the date form holds: nothing rather than a wrong date.
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
  const std::string lines =
      "T1\tC:\\a.txt\t\r\n"
      "T2\tC:\\日本語\\\t\r\n"
      "T3\tC:\\日本語☕\\\t\r\n"
      "T4\tC:\\ｶﾅ～\\\t\r\n";
  ASSERT_TRUE(env.AppendLines(log, lines).ok());
  EXPECT_EQ(ReadBytes(log),
            "T1\tC:\\a.txt\t\r\n"
            "T2\tC:\\\x93\xFA\x96\x7B\x8C\xEA\\\t\r\n"
            "T3\tC:\\日本語☕\\\t\r\n"
            "T4\tC:\\\xB6\xC5\x81\x60\\\t\r\n");

  const LogEntries entries = ReadLogEntries(env, log);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0], "T4|C:\\ｶﾅ～\\");
  EXPECT_EQ(entries[1], "T3|C:\\日本語☕\\");
  EXPECT_EQ(entries[2], "T2|C:\\日本語\\");
  EXPECT_EQ(entries[3], "T1|C:\\a.txt");
}

}  // namespace
}  // namespace tallyrun::testing
