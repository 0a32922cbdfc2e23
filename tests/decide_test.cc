// The windows' shared decisions, on real files, on every system the program
// is built for.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/system_env.h"
#include "ui/decide/choices.h"
#include "ui/decide/drop_batch.h"

namespace tallyrun::ui {
namespace {

namespace fs = std::filesystem;

// Which names a drop refuses and what a failed write leaves the windows' own
// drop tests show.
TEST(DropBatch, NothingToRecordMakesNoLog) {
  platform::SystemEnv env;
  // UTF-8: on Windows a plain string would pass through the ANSI code page.
  const std::u8string never = (fs::temp_directory_path() / "tallyrun-never.log").u8string();
  fs::remove(never);
  EXPECT_TRUE(DropBatch(env).Write(std::string(never.begin(), never.end())).ok());
  EXPECT_FALSE(fs::exists(never));
}

TEST(Choices, EntriesOpenTheExactBytesOfTheirNameAndNeverACutName) {
  EXPECT_FALSE(IsFolderPath(""));
  // A stray byte comes back as the byte the name holds.
  const std::optional<EntryTarget> opens_file = TargetOf("|a\xED\xB3\xBF|b");
  ASSERT_TRUE(opens_file);
  EXPECT_EQ(opens_file->path, "a\xFF|b");
  EXPECT_FALSE(opens_file->folder);
  EXPECT_FALSE(TargetOf(std::string("|a\0b", 4)));
}

// Both toolkits' choosers lean on this to never go round for ever.
TEST(Choices, ADriveThatCannotBeEnteredTellsOnceAndGoesBackWithoutLooping) {
  DriveRecovery drives("c:");
  EXPECT_EQ(drives.Changed("e:", false), DriveRecovery::Next::kTellAndReturn);
  EXPECT_EQ(drives.Changed("c:", true), DriveRecovery::Next::kStay);
  EXPECT_EQ(drives.Changed("e:", false), DriveRecovery::Next::kTellAndReturn);
  EXPECT_EQ(drives.Changed("c:", false), DriveRecovery::Next::kGiveUp);
  EXPECT_EQ(drives.Changed("e:", false), DriveRecovery::Next::kTellAndReturn);
}

}  // namespace
}  // namespace tallyrun::ui
