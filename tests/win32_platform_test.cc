// The Windows platform layer where it differs from the POSIX one: the
// moment's text where the system's date form ends, long paths, settings as
// Windows reads them, an item's facts as Windows gives them, what the chooser
// browses, and following a log by its stamp, its batches and its pieces.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/settings.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/system_env.h"
#include "platform/win32/item_facts.h"
#include "tests/win32_test_support.h"
// The Win32 macro of this name would rename the platform's own.
#undef ReplaceFile

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

TEST(Folders, HiddenAndSystemItemsAreLeftOutAndADriveIsItsLetter) {
  TempDir dir;
  for (const char* name : {"a.log", "hidden.log", "system.log", "日本語.txt"})
    WriteBytes(dir / name, "x");
  for (const char* name : {"sub", "hidden"}) MakeFolder(dir / name);
  ::SetFileAttributesW(W(dir / "hidden.log").c_str(), FILE_ATTRIBUTE_HIDDEN);
  ::SetFileAttributesW(W(dir / "system.log").c_str(), FILE_ATTRIBUTE_SYSTEM);
  ::SetFileAttributesW(W(dir / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  std::optional<FolderListing> listing = platform::ListFolder(dir.path());
  ASSERT_TRUE(listing);
  std::ranges::sort(listing->files);
  EXPECT_EQ(listing->files, (std::vector<std::string>{"a.log", "日本語.txt"}));
  EXPECT_EQ(listing->folders, std::vector<std::string>{"sub"});
  EXPECT_FALSE(platform::ListFolder(dir / "gone"));

  const std::vector<Drive> drives = platform::Drives();
  const auto c = std::ranges::find(drives, "c:", &Drive::entry);
  ASSERT_NE(c, drives.end());
  EXPECT_EQ(c->root, "c:\\");
}

// A batch in the system's code page takes fewer bytes than its UTF-8, and
// one after an unfinished line starts after the line end put before it.
TEST(Files, ABatchLandsWhereTheStampSaysAndIsReadBackFromThere) {
  TempDir dir;
  const std::string log = dir / "t.log";
  WriteBytes(log, "unfinished");
  const std::optional<FileStamp> before = platform::StampOf(log);
  Landed landed;
  ASSERT_TRUE(platform::AppendLines(log, "日本語\r\n", &landed).ok());
  EXPECT_EQ(landed.offset, 12u);
  EXPECT_EQ(landed.size, 8u);
  const std::optional<FileStamp> after = platform::StampOf(log);
  ASSERT_TRUE(before && after);
  EXPECT_TRUE(after->SameFile(*before));
  EXPECT_EQ(after->size, 20u);
  std::string read;
  ASSERT_TRUE(platform::ReadChunks(log, landed.offset, [&](std::string_view piece) {
                read.append(piece);
                return true;
              }).ok());
  EXPECT_EQ(read, "\x93\xFA\x96\x7B\x8C\xEA\r\n");

  ASSERT_TRUE(platform::ReplaceFile(log, "new\r\n").ok());
  EXPECT_FALSE(platform::StampOf(log)->SameFile(*before));
  EXPECT_FALSE(platform::StampOf(dir.path()));
  EXPECT_FALSE(platform::StampOf(dir / "gone"));
}

// Only the name written runs past 260 characters.
TEST(AppendLines, TakesALongPathWrittenWithSlashesAndDots) {
  TempDir dir;
  std::string folder = dir.path();
  while (folder.size() < 200) folder += "\\" + std::string(20, 'd');
  ASSERT_TRUE(platform::MakeParentFolders(folder + "\\t.log"));
  ASSERT_TRUE(
      platform::AppendLines(folder + "/" + std::string(60, 'x') + "/../t.log", "a\r\n").ok());
  EXPECT_EQ(ReadBytes(folder + "\\t.log"), "a\r\n");
}

// Saved so that Windows' own profile functions read back the very path: in
// the system's code page where that holds it and it reads back from there
// (not ﾃＢ, which would read as Âa), else in UTF-16.
TEST(SaveLogFilePath, WritesWhatWindowsReadsBack) {
  TempDir dir;
  platform::SystemEnv env;
  const SettingsLocation location{dir / "Tallyrun.ini", dir / "Tallyrun.log"};
  for (const auto& [name, utf16] :
       {std::pair{"ﾒｰﾙ１.log", false}, {"café☕.log", true}, {"ﾃＢ.log", true}}) {
    ::DeleteFileW(W(location.settings_file).c_str());
    ASSERT_TRUE(SaveLogFilePath(env, location, dir / name, "").ok());
    wchar_t read[MAX_PATH];
    ::GetPrivateProfileStringW(L"Tallyrun", L"LogFile", L"", read, MAX_PATH,
                               W(location.settings_file).c_str());
    EXPECT_EQ(U(read), dir / name);
    EXPECT_EQ(ReadBytes(location.settings_file).starts_with("\xFF\xFE"), utf16) << name;
  }
}

// Cloud files (kept on the device, online only) and ReFS set bits above the
// sixteen the rules read; a moment beyond any date still leaves an item.
TEST(ItemFactsFrom, ReadsTheSixteenAttributeBitsWhateverElseIsSet) {
  const FILETIME beyond_any_date{MAXDWORD, MAXDWORD};
  const std::pair<DWORD, std::uint32_t> rows[] = {
      {0x80000 | FILE_ATTRIBUTE_DIRECTORY, 16},
      {0x8000 | FILE_ATTRIBUTE_DIRECTORY, 16},
      {0x400000 | 0x1000 | FILE_ATTRIBUTE_ARCHIVE, 0x1020}};
  for (const auto& [raw, read] : rows)
    EXPECT_EQ(platform::ItemFactsFrom(raw, beyond_any_date).attributes, read) << raw;
}

}  // namespace
}  // namespace tallyrun::testing
