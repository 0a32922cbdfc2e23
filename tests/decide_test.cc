// The windows' shared decisions, on real files, on every system the program
// is built for.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "core/build_facts.h"
#include "core/paths.h"
#include "platform/system_env.h"
#include "ui/decide/choices.h"
#include "ui/decide/drop_batch.h"

namespace tallyrun::ui {
namespace {

namespace fs = std::filesystem;

const std::string kSep(1, kPathSeparator);

// UTF-8 both ways: on Windows a plain string would pass through the ANSI
// code page.
fs::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

struct Folder {
  Folder() { fs::create_directories(path); }
  ~Folder() { fs::remove_all(path); }
  std::string operator/(const std::string& name) const {
    const std::u8string full = (path / PathOf(name)).u8string();
    return std::string(full.begin(), full.end());
  }
  const fs::path path =
      fs::temp_directory_path() /
      ("tallyrun-decide-" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
};

// The order and quoting of what is written the windows' own drop tests check.
TEST(DropBatch, RefusesInexactNamesAndAFailedWriteLeavesNoEntries) {
  Folder dir;
  platform::SystemEnv env;
  std::ofstream(PathOf(dir / "a.txt")) << "a";
  DropBatch drop(env);
  std::string tabbed = dir / "x\ty", garbled = dir / "\xEF\xBF\xBD.txt", inexact = dir / "b.txt";
  for (std::string path : {dir / "a.txt", tabbed, garbled}) drop.Take(path);
  drop.Take(inexact, false);
  EXPECT_EQ(drop.refused(), (std::vector<std::string>{tabbed, garbled, inexact}));
  EXPECT_NE(RefusalText(drop.refused()).find("x␉y"), std::string::npos);
  const Status written = drop.Write(dir / "missing" + kSep + "x.log");
  EXPECT_FALSE(written.ok());
  EXPECT_TRUE(drop.added().empty());
  EXPECT_NE(WriteFailureText("x.log", written).find(written.reason()), std::string::npos);

  DropBatch empty(env);
  EXPECT_TRUE(empty.Write(dir / "never.log").ok());
  EXPECT_FALSE(fs::exists(PathOf(dir / "never.log")));
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
