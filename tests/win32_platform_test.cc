// The recording core on the Windows platform layer: the moment's text where
// the system's date form ends, long paths, settings as Windows reads them, and
// an item's facts as Windows gives them.
#include <gtest/gtest.h>

#include "core/settings.h"
#include "platform/files.h"
#include "platform/system_env.h"
#include "platform/win32/item_facts.h"
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
