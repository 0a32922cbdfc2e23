// The recording core on the Windows platform layer: the moment's text where
// the system's date form ends.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tallyrun::testing
