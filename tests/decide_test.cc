// The windows' shared decisions, on real files, on every system the program
// is built for.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
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

class Folder {
 public:
  Folder() {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = fs::temp_directory_path() / ("tallyrun-decide-" + std::to_string(tick));
    fs::create_directories(path_);
  }
  ~Folder() { fs::remove_all(path_); }
  // UTF-8 both ways: on Windows a plain string would pass through the ANSI
  // code page.
  std::string operator/(const std::string& name) const {
    const std::u8string full = (path_ / std::u8string(name.begin(), name.end())).u8string();
    return std::string(full.begin(), full.end());
  }

 private:
  fs::path path_;
};

fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Read(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(DropBatch, RecordsEachItemQuotedInOrderAndPutsTheLastOnTop) {
  Folder dir;
  platform::SystemEnv env;
  std::ofstream(PathOf(dir / "a.txt")) << "a";
  fs::create_directory(PathOf(dir / "docs"));
  const std::string log = dir / "drop.log";

  DropBatch drop(env);
  std::string file = dir / "a.txt", folder = dir / "docs", tabbed = dir / "x\ty";
  std::string garbled = dir / "\xEF\xBF\xBD.txt", inexact = dir / "b.txt";
  drop.Take(file);
  drop.Take(folder);
  drop.Take(tabbed);
  drop.Take(garbled);
  drop.Take(inexact, false);
  ASSERT_TRUE(drop.Write(log).ok());

  EXPECT_EQ(folder, dir / "docs" + kSep);
  const std::string written = Read(log);
  const std::size_t a = written.find("\t" + file + "\t"), d = written.find("\t" + folder + "\t");
  EXPECT_NE(a, std::string::npos);
  EXPECT_LT(a, d);
  EXPECT_EQ(written.front(), '"');
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2);

  ASSERT_EQ(drop.added().size(), 2u);
  EXPECT_TRUE(drop.added()[0].ends_with("|" + folder));
  EXPECT_TRUE(drop.added()[1].ends_with("|" + file));
  EXPECT_EQ(drop.refused(), (std::vector<std::string>{tabbed, garbled, inexact}));
  EXPECT_EQ(drop.lines(), written.substr(written.size() - drop.lines().size()));
  EXPECT_NE(RefusalText(drop.refused()).find("x␉y"), std::string::npos);
}

TEST(DropBatch, AFailedWriteLeavesNoEntriesAndANothingDropWritesNothing) {
  Folder dir;
  platform::SystemEnv env;
  std::ofstream(PathOf(dir / "a.txt")) << "a";
  DropBatch failing(env);
  std::string file = dir / "a.txt";
  failing.Take(file);
  const Status written = failing.Write(dir / "missing" + kSep + "x.log");
  EXPECT_FALSE(written.ok());
  EXPECT_TRUE(failing.added().empty());
  EXPECT_NE(WriteFailureText("x.log", written).find(written.reason()), std::string::npos);

  DropBatch empty(env);
  EXPECT_TRUE(empty.Write(dir / "never.log").ok());
  EXPECT_FALSE(fs::exists(PathOf(dir / "never.log")));
}

TEST(Choices, TheChoiceIsAdoptedOnlyWhenItNamesAnotherFile) {
  EXPECT_TRUE(AdoptsChoice("b.log", "a.log"));
  EXPECT_FALSE(AdoptsChoice("a.log", "a.log"));
  EXPECT_FALSE(AdoptsChoice("", "a.log"));
  EXPECT_TRUE(AdoptsChoice("a.log", ""));
}

TEST(Choices, EntriesOpenTheirExactPathAsFolderOrFileAndNeverACutName) {
  const std::string folder = "docs" + kSep;
  EXPECT_TRUE(IsFolderPath(folder));
  EXPECT_FALSE(IsFolderPath(""));
  const std::optional<EntryTarget> opens_folder = TargetOf("2024/1/2 3:04:05|" + folder);
  ASSERT_TRUE(opens_folder);
  EXPECT_EQ(opens_folder->path, folder);
  EXPECT_TRUE(opens_folder->folder);
  // A stray byte comes back as the byte the name holds.
  const std::optional<EntryTarget> opens_file = TargetOf("|a\xED\xB3\xBF|b");
  ASSERT_TRUE(opens_file);
  EXPECT_EQ(opens_file->path, "a\xFF|b");
  EXPECT_FALSE(opens_file->folder);
  EXPECT_FALSE(TargetOf(std::string("|a\0b", 4)));
}

TEST(Choices, FolderAndNameMeetWithOneSeparatorAndOnlyLogsAndTextsAreOffered) {
  EXPECT_EQ(JoinPath("c:" + kSep, "a.log"), "c:" + kSep + "a.log");
  EXPECT_EQ(JoinPath("c:" + kSep + "x", "a.log"), "c:" + kSep + "x" + kSep + "a.log");
  EXPECT_EQ(DriveRoot("d: [DATA]"), "d:" + kSep);
  for (const char* name : {"a.txt", "b.log", ".log", "x.tar.txt"})
    EXPECT_TRUE(MatchesLogFilePattern(name));
  for (const char* name : {"B.LOG", "c.Txt"})
    EXPECT_EQ(MatchesLogFilePattern(name), kNamesIgnoreCase);
  for (const char* name : {"a.txt.bak", "log", ".txtx", "a.ini"})
    EXPECT_FALSE(MatchesLogFilePattern(name)) << name;
}

TEST(Choices, ADriveThatCannotBeEnteredTellsOnceAndGoesBackWithoutLooping) {
  DriveRecovery drives("c:");
  EXPECT_EQ(drives.Changed("d:", true), DriveRecovery::Next::kStay);
  EXPECT_EQ(drives.PreviousDrive(), "d:");
  EXPECT_EQ(drives.Changed("e:", false), DriveRecovery::Next::kTellAndReturn);
  EXPECT_EQ(drives.Changed("d:", true), DriveRecovery::Next::kStay);
  // The way back failing as well ends the round.
  EXPECT_EQ(drives.Changed("e:", false), DriveRecovery::Next::kTellAndReturn);
  EXPECT_EQ(drives.Changed("d:", false), DriveRecovery::Next::kGiveUp);
  EXPECT_EQ(drives.Changed("e:", false), DriveRecovery::Next::kTellAndReturn);
  EXPECT_EQ(drives.PreviousDrive(), "d:");
}

}  // namespace
}  // namespace tallyrun::ui
