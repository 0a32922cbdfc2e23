// End to end on Windows: Tallyrun.exe copied into a temporary folder, run
// with a raw command line, and the log's bytes compared.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/log_reader.h"
#include "core/visible_text.h"
#include "platform/system_env.h"
#include "tests/win32_test_support.h"

namespace tallyrun::testing {
namespace {

// "日本語" in CP932, the ANSI code page of a Japanese system.
constexpr char kNihongoCp932[] = "\x93\xFA\x96\x7B\x8C\xEA";

class Tallyrun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::GetACP(), 932u) << "run with LANG=ja_JP.UTF-8";
    // A blank in the program's own path: its quoted name must not leak into the items.
    program_ = dir_ / "Tallyrun Program";
    MakeFolder(program_);
    ASSERT_TRUE(
        ::CopyFileW(W(TestProgramFolder() + "\\Tallyrun.exe").c_str(), W(exe()).c_str(), TRUE));
    items_ = dir_ / "items";
    MakeFolder(items_);
    for (const char c : items_) ASSERT_LT(static_cast<unsigned char>(c), 0x80) << items_;
  }

  std::string exe() const { return program_ + "\\Tallyrun.exe"; }
  std::string log() const { return program_ + "\\Tallyrun.log"; }

  // Runs the program; Log() then gives every recording moment that fell
  // within the run as "T".
  Outcome Record(const std::wstring& arguments, const std::string& program = "") {
    SYSTEMTIME from, to;
    ::GetLocalTime(&from);
    Outcome outcome = RunProgram(program.empty() ? exe() : program, arguments, items_);
    ::GetLocalTime(&to);
    constexpr ULONGLONG kSecond = 10000000;
    const auto seconds = [](const SYSTEMTIME& t) {
      FILETIME f;
      ::SystemTimeToFileTime(&t, &f);
      return (ULONGLONG{f.dwHighDateTime} << 32 | f.dwLowDateTime) / kSecond;
    };
    moments_.clear();
    for (ULONGLONG s = seconds(from); s <= seconds(to); ++s) {
      const FILETIME at{static_cast<DWORD>(s * kSecond), static_cast<DWORD>(s * kSecond >> 32)};
      SYSTEMTIME t;
      ::FileTimeToSystemTime(&at, &t);
      moments_.push_back(Moment({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}));
    }
    return outcome;
  }

  std::string Log(const std::string& path) const {
    std::string log = "\n" + ReadFile(path);
    for (const std::string& moment : moments_) {
      for (std::size_t at; (at = log.find("\n" + moment + "\t")) != std::string::npos;)
        log.replace(at + 1, moment.size(), "T");
    }
    return log.substr(1);
  }

  static std::string Rec(const std::string& path, const std::string& modified = "") {
    return "T\t" + path + "\t" + modified + "\r\n";
  }

  std::string File(const std::string& name, const LocalTime& modified) {
    const std::string path = items_ + "\\" + name;
    WriteFile(path, "x");
    SetModified(path, modified);
    return path;
  }

  TempDir dir_;
  std::string program_, items_;
  std::vector<std::string> moments_;
};

TEST_F(Tallyrun, RecordsEveryItemOfTheRawTextInOrderInTheSystemsFormsAndRefusesTheRest) {
  const LocalTime t1{2002, 6, 26, 9, 3, 14}, t2{2002, 6, 25, 0, 0, 0}, t3{2002, 6, 24, 23, 59, 59};
  const std::string d = items_;
  MakeFolder(d + "\\My Docs");
  for (const char* name : {"a.txt", "My Docs\\b.txt", "日本語ｶﾅ～.txt", "café☕.txt"})
    File(name, t1);
  MakeFolder(d + "\\plain");
  SetModified(d + "\\plain", t2);
  MakeFolder(d + "\\hid");
  SetModified(d + "\\hid", t3);
  // More than the folder bit: the path stays as it is.
  ASSERT_TRUE(::SetFileAttributesW(W(d + "\\hid").c_str(), FILE_ATTRIBUTE_HIDDEN));
  // An earlier record cut before its line end.
  WriteFile(log(), "2002/6/26 9:03:14\tC:\\x\t");

  const std::wstring D = W(d);
  const Outcome outcome =
      Record(D + L"\\a.txt " + D + L"\\plain " + D + L"\\hid " + D + L"\\gone.txt \"" + D +
             L"\\My Docs\\b.txt\" a.txt  " + D + L"\\日本語ｶﾅ～.txt \"" + D +
             L"\\café☕.txt\" plain\\ x?y \"p<q\" \"tab\there\" \"dir\\c:d\" CON");

  EXPECT_EQ(outcome.exit_code, 1u);
  // Names Windows cannot hold are refused, each by name.
  for (const std::string& told : std::vector<std::string>{
           "x?y」", "p<q」", "tab\\there」", "dir\\c:d」", "CON」",
           "見つからないため日付なしで記録しました: 「" + d + "\\gone.txt」 「」\r\n"}) {
    EXPECT_NE(outcome.stderr_text.find(told), std::string::npos) << told << outcome.stderr_text;
  }
  // CP932 cannot hold "café☕": that whole line is in UTF-8.
  EXPECT_EQ(Log(log()), "2002/6/26 9:03:14\tC:\\x\t\r\n" + Rec(d + "\\a.txt", Moment(t1)) +
                            Rec(d + "\\plain\\", Moment(t2)) + Rec(d + "\\hid", Moment(t3)) +
                            Rec(d + "\\gone.txt\\") + Rec(d + "\\My Docs\\b.txt", Moment(t1)) +
                            Rec(d + "\\a.txt", Moment(t1)) + Rec("\\") +
                            Rec(d + "\\" + kNihongoCp932 + "\xB6\xC5\x81\x60.txt", Moment(t1)) +
                            Rec(d + "\\café☕.txt", Moment(t1)) + Rec(d + "\\plain\\", Moment(t2)));

  // Names read back as they were recorded, in CP932 where its bytes read so,
  // in UTF-8 where they would not (ﾃＢ is also Âa) or it cannot hold them.
  const std::vector<std::string> names = {"ﾃｽﾄ１.txt",      "ﾒｰﾙ１.txt", "ﾕｰｻﾞｰ.txt",
                                          "ひなまつり.txt", "ﾃＢ.txt",   "é.txt"};
  std::wstring arguments;
  for (const std::string& name : names) arguments += W(File(name, t1)) + L" ";
  EXPECT_EQ(Record(arguments).exit_code, 0u);
  platform::SystemEnv env;
  const std::vector<std::string> back = ReadEntries(env, log());
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(EntryPath(back[names.size() - 1 - i]), d + "\\" + names[i]);
}

// ﾒｰﾙ１ in CP932 is also UTF-8 (ҰقP).
TEST_F(Tallyrun, TakesTheLogFromASettingsFileInTheSystemsCodePage) {
  WriteFile(program_ + "\\Tallyrun.ini",
            "[Tallyrun]\r\nLogFile=" + dir_.path() + "\\\xD2\xB0\xD9\x82\x50.log\r\n");
  const LocalTime t{2002, 6, 26, 9, 3, 14};
  const std::string a = File("a.txt", t);
  const Outcome outcome = Record(W(a));
  EXPECT_EQ(outcome.exit_code, 0u) << outcome.stderr_text;
  EXPECT_EQ(Log(dir_ / "ﾒｰﾙ１.log"), Rec(a, Moment(t)));
  EXPECT_FALSE(std::filesystem::exists(W(log())));
}

TEST_F(Tallyrun, KeepsTheLogInAppDataWhenTheProgramsFolderIsClosed) {
  // Prepared by the test script: a copy in a folder this user cannot write.
  const std::string closed = TestProgramFolder() + "\\closed\\Tallyrun.exe";
  if (!std::filesystem::exists(W(closed)))
    GTEST_SKIP() << "no closed copy of the program beside the tests";
  const std::string app_data = dir_ / "AppData";
  MakeFolder(app_data);
  const LocalTime t{2002, 6, 26, 9, 3, 14};
  const std::string a = File("a.txt", t);

  const SetEnv app(L"APPDATA", app_data);
  const Outcome outcome = Record(W(a), closed);
  EXPECT_EQ(outcome.exit_code, 0u) << outcome.stderr_text;
  EXPECT_EQ(Log(app_data + "\\Tallyrun\\Tallyrun.log"), Rec(a, Moment(t)));
}

TEST_F(Tallyrun, FailsWithAMessageAndLeavesTheLogWhole) {
  const std::string a = File("a.txt", LocalTime{2002, 6, 26, 9, 3, 14}),
                    earlier = "2002/6/26 9:03:14\tC:\\x\t\r\n";
  std::wstring many;
  for (int i = 0; i < 200; ++i) many += W(a) + L" ";
  const std::string read_only = dir_ / "read-only.log";
  WriteFile(read_only, earlier);
  ASSERT_TRUE(::SetFileAttributesW(W(read_only).c_str(), FILE_ATTRIBUTE_READONLY));
  MakeFolder(dir_ / "folder.log");
  const std::string locked = dir_ / "locked.log";
  WriteFile(locked, earlier);
  // Another program holds the whole log locked for the run.
  const HANDLE holder =
      ::CreateFileW(W(locked).c_str(), GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  OVERLAPPED whole{};
  ASSERT_TRUE(::LockFileEx(holder, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole));
  std::vector<std::pair<std::string, std::string>> rows = {
      {read_only, "アクセスが拒否されました"},
      {dir_ / "folder.log", "フォルダです"},
      {locked, "ほかのプログラム"},
      {dir_ / "no-such-folder\\a.log", "フォルダが見つかりません"},
      {dir_ / "caf\xE9.log", "パスに文字として読めないバイトが含まれています"},
  };
  // Prepared by the test script: a small file system of its own, here filled
  // but for the rest of the log's last block, so the batch goes in part of
  // the way and must be taken back.
  std::string full;
  if (wchar_t at[MAX_PATH]; ::GetEnvironmentVariableW(L"TALLYRUN_FULL_DISK", at, MAX_PATH) > 0) {
    full = U(at) + "\\full.log";
    WriteFile(full, earlier);
    const HANDLE h = ::CreateFileW(W(U(at) + "\\filler").c_str(), GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, 0, nullptr);
    const std::string block(4096, 'x');
    for (DWORD n = 0; ::WriteFile(h, block.data(), 4096, &n, nullptr) && n == 4096;) {
    }
    ::CloseHandle(h);
    rows.emplace_back(full, "ディスクの空き容量が足りません");
  }
  for (const auto& [log, reason] : rows) {
    WriteFile(program_ + "\\Tallyrun.ini", "[Tallyrun]\r\nLogFile=" + log + "\r\n");
    const Outcome outcome = Record(many);
    EXPECT_EQ(outcome.exit_code, 1u);
    EXPECT_NE(outcome.stderr_text.find("「" + VisibleText(log, ControlStyle::kEscapes) +
                                       "」に書き込めません: " + reason),
              std::string::npos)
        << outcome.stderr_text;
  }
  ::CloseHandle(holder);
  ::SetFileAttributesW(W(read_only).c_str(), FILE_ATTRIBUTE_NORMAL);  // for the folder's removal
  for (const std::string& log : {read_only, locked, full.empty() ? read_only : full})
    EXPECT_EQ(ReadFile(log), earlier) << log;
}

}  // namespace
}  // namespace tallyrun::testing
