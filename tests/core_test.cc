#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/argument_text.h"
#include "core/date_time_text.h"
#include "core/log_reader.h"
#include "core/log_record.h"
#include "core/profile.h"
#include "core/settings.h"
#include "core/utf8.h"
#include "tests/test_support.h"

namespace tallyrun {
namespace {

using testing::PinnedClockEnv;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr LocalTime kNow{2026, 12, 6, 9, 3, 14};
constexpr LocalTime kModified{2002, 6, 26, 21, 5, 0};

std::vector<std::string> Entries(const LogEntries& entries) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < entries.size(); ++i) out.emplace_back(entries[i]);
  return out;
}

std::vector<std::string> ReadBack(Env& env, const std::string& path) {
  return Entries(ReadLogEntries(env, path));
}

TEST(DateTimeText, ShortDateBlankLongTimeAndDateAloneAtMidnight) {
  EXPECT_EQ(DateTimeText({2002, 6, 26, 9, 3, 14}), "2002/06/26 9:03:14");
  EXPECT_EQ(DateTimeText({2002, 6, 26, 23, 59, 59}), "2002/06/26 23:59:59");
  EXPECT_EQ(DateTimeText({2002, 6, 26, 0, 0, 0}), "2002/06/26");
  EXPECT_EQ(DateTimeText({2002, 6, 26, 0, 0, 1}), "2002/06/26 0:00:01");
}

TEST(MakeLogLine, FilesKeepTheirPathAndPlainFoldersGainASeparator) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const std::string file = dir / "b.txt";
  WriteFile(file, "x");
  testing::SetModified(file, kModified);
  std::string path = file;
  EXPECT_EQ(MakeLogLine(path, env), "2026/12/06 9:03:14\t" + file + "\t2002/06/26 21:05:00");
  EXPECT_EQ(path, file);

  const std::string folder = dir / "a";
  ::mkdir(folder.c_str(), 0755);
  testing::SetModified(folder, {2002, 6, 26, 0, 0, 0});
  path = folder;
  EXPECT_EQ(MakeLogLine(path, env), "2026/12/06 9:03:14\t" + folder + "/\t2002/06/26");
  EXPECT_EQ(path, folder + "/");
  EXPECT_EQ(MakeLogLine(path, env), "2026/12/06 9:03:14\t" + folder + "/\t2002/06/26")
      << "a folder already ending in a separator is not extended twice";
}

TEST(MakeLogLine, ReadOnlyOrHiddenFoldersKeepTheirPathAndDate) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  for (const std::string name : {"r", ".hidden"}) {
    const std::string folder = dir / name;
    ::mkdir(folder.c_str(), name == "r" ? 0555 : 0755);
    testing::SetModified(folder, kModified);
    std::string path = folder;
    EXPECT_EQ(MakeLogLine(path, env), "2026/12/06 9:03:14\t" + folder + "\t2002/06/26 21:05:00");
    EXPECT_EQ(path, folder);
  }
}

TEST(MakeLogLine, UnreadableItemsGetASeparatorAndNoDate) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  std::string path = dir / "gone.txt";
  EXPECT_EQ(MakeLogLine(path, env), "2026/12/06 9:03:14\t" + dir.path() + "/gone.txt/\t");
  EXPECT_EQ(path, dir.path() + "/gone.txt/");
  path.clear();
  EXPECT_EQ(MakeLogLine(path, env), "2026/12/06 9:03:14\t/\t");
}

TEST(LogReader, ReadsBothFormsNewestFirst) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const std::string log = dir / "t.log";
  std::string batch;
  AppendQuotedLine(batch, "M1\t/a\tD1");
  AppendBareLine(batch, "M2\t/b/\tD2");
  AppendQuotedLine(batch, "M3\t/c,d.txt\tD3");
  AppendBareLine(batch, "M4\t/e,f.txt\tD4");
  AppendBareLine(batch, "M5\t/gone/\t");
  AppendQuotedLine(batch, "M6\t/say \"hi\".txt\t");
  WriteFile(log, batch);
  EXPECT_EQ(ReadBack(env, log),
            (std::vector<std::string>{"M6|/say \"hi\".txt", "M5|/gone/", "M4|/e,f.txt",
                                      "M3|/c,d.txt", "M2|/b/", "M1|/a"}));
}

TEST(LogReader, StopsAtAnEmptyLineOrADamagedRecordKeepingWhatCameBefore) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const std::string log = dir / "t.log";
  WriteFile(log, "M1\t/a\tD\r\nM2\t/b\tD\r\n\r\nM3\t/c\tD\r\n");
  EXPECT_EQ(ReadBack(env, log), (std::vector<std::string>{"M2|/b", "M1|/a"}));
  WriteFile(log, "M1\t/a\tD\r\nM2 only one tab\t/b\r\nM3\t/c\tD\r\n");
  EXPECT_EQ(ReadBack(env, log), (std::vector<std::string>{"M1|/a"}));
  WriteFile(log, "\"M1\t/a\tD\"\r\n\"\"\r\nM3\t/c\tD\r\n");
  EXPECT_EQ(ReadBack(env, log), (std::vector<std::string>{"M1|/a"}));
  EXPECT_TRUE(ReadBack(env, dir / "missing.log").empty());
}

TEST(LogReader, LastLineWithoutLineEndAndBareLineFeedsAreRead) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const std::string log = dir / "t.log";
  WriteFile(log, "M1\t/a\tD\nM2\t/b\t");
  EXPECT_EQ(ReadBack(env, log), (std::vector<std::string>{"M2|/b", "M1|/a"}));
}

TEST(LogReader, LinesFromAJapaneseWindowsSystemAreDecoded) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const std::string log = dir / "t.log";
  // "テスト" in CP932, then the same name in UTF-8.
  WriteFile(log, "\"M1\tC:\\\x83\x65\x83\x58\x83\x67\\\tD\"\r\nM2\t/テスト\tD\r\n");
  EXPECT_EQ(ReadBack(env, log), (std::vector<std::string>{"M2|/テスト", "M1|C:\\テスト\\"}));
}

TEST(LogReader, ALogCutAtEveryLengthNeverCrashesAndKeepsWholeRecords) {
  PinnedClockEnv env(kNow);
  std::string log;
  AppendQuotedLine(log, "2026/12/06 9:03:14\t/a\t2002/06/26");
  AppendBareLine(log, "2026/12/06 9:03:15\t/b\xE3\x83\x86/\t");
  AppendQuotedLine(log, "2026/12/06 9:03:16\t/c,d\t2002/06/26 1:02:03");
  for (std::size_t cut = 0; cut <= log.size(); ++cut) {
    for (std::size_t piece = 1; piece <= 7; piece += 3) {
      LogEntries entries;
      LogReader reader(env, entries);
      const std::string_view text(log.data(), cut);
      for (std::size_t at = 0; at < text.size(); at += piece) reader.Feed(text.substr(at, piece));
      reader.Finish();
      ASSERT_LE(entries.size(), 3u);
      for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].substr(0, 17), "2026/12/06 9:03:1");
      }
    }
  }
}

// What the reader gives back, whatever the file held: "moment|path" as UTF-8,
// with no TAB or line end in it.
void ExpectWellFormed(const std::vector<std::string>& entries) {
  for (const std::string& e : entries) {
    EXPECT_NE(e.find('|'), std::string::npos) << e;
    EXPECT_EQ(e.find_first_of("\t\n"), std::string::npos) << e;
    EXPECT_TRUE(IsValidUtf8(e)) << e;
  }
}

// The same text fed in random pieces, down to single bytes.
std::vector<std::string> ReadInPieces(Env& env, std::string_view text, unsigned seed) {
  std::mt19937 random(seed);
  LogEntries entries;
  LogReader reader(env, entries);
  while (!text.empty()) {
    const std::size_t n = std::min<std::size_t>(text.size(), 1 + random() % 300);
    reader.Feed(text.substr(0, n));
    text.remove_prefix(n);
  }
  reader.Finish();
  return Entries(entries);
}

TEST(LogReader, ForeignOrDamagedLogsReadUpToTheDamageHoweverTheyArrive) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const std::string log = dir / "t.log";
  using V = std::vector<std::string>;
  struct Row {
    const char* name;
    std::string text;
    V entries;
  };
  const std::string nul(1, '\0');
  const Row rows[] = {
      {"NUL bytes between records", "M1\t/a\tD\r\n" + nul + nul + "\r\nM3\t/c\tD\r\n", V{"M1|/a"}},
      {"a NUL inside a path", "M1\t/a" + nul + "b\tD\r\nM2\t/c\tD\r\n",
       V{"M2|/c", "M1|/a" + nul + "b"}},
      // 表 is 0x95 0x5C in CP932: its second byte must not pass for a "\\".
      {"a log written in CP932",
       "2002/06/26 9:03:14\tC:\\\x83\x65\x83\x58\x83\x67\\\t2002/06/25\r\n"
       "\"2002/06/26 9:03:15\tC:\\\x95\x5C.txt\t\"\r\n",
       V{"2002/06/26 9:03:15|C:\\表.txt", "2002/06/26 9:03:14|C:\\テスト\\"}},
      {"UTF-8 and CP932 lines mixed",
       "M1\t/テスト\tD\r\nM2\tC:\\\x83\x65\tD\r\n\"M3\t/表\tD\"\r\nM4\tC:\\\x95\x5C\tD\r\n",
       V{"M4|C:\\表", "M3|/表", "M2|C:\\テ", "M1|/テスト"}},
      {"bytes that are neither", "M1\t/\xFF\xFE\x80\tD\r\nM2\t/b\tD\r\n",
       V{"M2|/b", "M1|/\uFFFD\uFFFD\uFFFD"}},
      {"CR alone inside a line", "M1\t/a\rb\tD\r\nM2\t/c\tD\r\r\n", V{"M2|/c", "M1|/a\rb"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(log, row.text);
    EXPECT_EQ(ReadBack(env, log), row.entries);
    EXPECT_EQ(ReadInPieces(env, row.text, 1), row.entries);
  }
}

TEST(LogReader, BinaryGarbageNeverCrashesAndGivesOnlyWellFormedEntries) {
  PinnedClockEnv env(kNow);
  const std::string records = "M1\t/a\tD\r\n\"M2\t/b\t\"\r\n";
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    // Heavy in TABs, line ends and quotes, so that garbage passes for records.
    std::string text = records;
    for (int i = 0; i < 65536; ++i) {
      const unsigned r = random() % 64;
      text.push_back(r == 0 ? '\n' : r < 4 ? '\t' : r == 4 ? '"' : static_cast<char>(random()));
    }
    const std::vector<std::string> whole = ReadInPieces(env, text, 0xFFFFFFFF);
    EXPECT_EQ(ReadInPieces(env, text, seed), whole);
    ASSERT_GE(whole.size(), 2u);
    EXPECT_EQ(whole[whole.size() - 1], "M1|/a");
    EXPECT_EQ(whole[whole.size() - 2], "M2|/b");
    ExpectWellFormed(whole);
  }
}

// Counts what the file hands the reader.
class CountingEnv : public PinnedClockEnv {
 public:
  using PinnedClockEnv::PinnedClockEnv;
  Status ReadChunks(const std::string& path,
                    const std::function<bool(std::string_view)>& sink) override {
    return PinnedClockEnv::ReadChunks(path, [&](std::string_view piece) {
      delivered += piece.size();
      return sink(piece);
    });
  }
  std::size_t delivered = 0;
};

TEST(LogReader, AHugeLineIsDamageAndIsNeverHeldWhole) {
  TempDir dir;
  CountingEnv env(kNow);
  const std::string log = dir / "t.log";
  {
    // A record whose path runs on for 200 MB, without a line end.
    std::ofstream out(log, std::ios::binary);
    out << "M1\t/a\tD\r\n\"M2\t/b\tD\"\r\nM3\t/";
    const std::string block(std::size_t{1} << 20, 'x');
    for (int i = 0; i < 200; ++i) out << block;
    out << "\tD";
    ASSERT_TRUE(out.good());
  }
  const std::vector<std::string> entries = ReadBack(env, log);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries, (std::vector<std::string>{"M2|/b", "M1|/a"}));
  EXPECT_LT(env.delivered, std::size_t{4} << 20) << "the reading stops at the damage";

  // A long line that any writer could have made still counts.
  const std::string path = "/" + std::string(std::size_t{128} << 10, 'y');
  WriteFile(log, "M1\t" + path + "\tD\r\nM2\t/b\tD\r\n");
  EXPECT_TRUE(ReadBack(env, log) == (std::vector<std::string>{"M2|/b", "M1|" + path}));
}

// The recording moment, padding that varies the line length, and a path
// that tells the record's place in the log.
std::string GrowingRecord(int i) {
  return "2026/12/06 9:03:14\t/item" + std::to_string(i) + std::string(i % 7 * 300, 'p') +
         "\t2002/06/26\r\n";
}

TEST(LogReader, ALogGrowingWhileReadShowsOnlyWholeRecordsInOrder) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const std::string log = dir / "t.log";
  constexpr int kRecords = 6000;
  const pid_t writer = ::fork();
  if (writer == 0) {
    platform::SystemEnv system;
    for (int i = 0; i < kRecords; i += 3) {
      if (!system.AppendLines(log, GrowingRecord(i) + GrowingRecord(i + 1) + GrowingRecord(i + 2))
               .ok()) {
        ::_exit(1);
      }
    }
    ::_exit(0);
  }
  auto expect_prefix = [](const std::vector<std::string>& entries) {
    for (std::size_t k = 0; k < entries.size(); ++k) {
      const std::string record = GrowingRecord(static_cast<int>(k));
      const std::string want =
          "2026/12/06 9:03:14|" + record.substr(19, record.find('\t', 19) - 19);
      ASSERT_EQ(entries[entries.size() - 1 - k], want);
    }
  };
  std::size_t seen = 0;
  int reads = 0;
  int status = 0;
  while (::waitpid(writer, &status, WNOHANG) == 0) {
    const std::vector<std::string> entries = ReadBack(env, log);
    ASSERT_GE(entries.size(), seen);
    seen = entries.size();
    expect_prefix(entries);
    ++reads;
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::vector<std::string> entries = ReadBack(env, log);
  ASSERT_EQ(entries.size(), std::size_t{kRecords});
  expect_prefix(entries);
  EXPECT_GT(reads, 0);
}

TEST(LogReader, ACp932LineAmongUtf8LinesIsDecodedAloneWhereverThePiecesAreCut) {
  PinnedClockEnv env(kNow);
  std::string log;
  AppendBareLine(log, "M1\t/日本語のフォルダ/\t");
  AppendQuotedLine(log, "M2\tC:\\\x83\x65\x83\x58\x83\x67\tD");  // テスト in CP932
  AppendBareLine(log, "M3\t/テスト\tD");
  const std::vector<std::string> expected = {"M3|/テスト", "M2|C:\\テスト",
                                             "M1|/日本語のフォルダ/"};
  for (std::size_t piece = 1; piece <= log.size(); ++piece) {
    LogEntries entries;
    LogReader reader(env, entries);
    for (std::size_t at = 0; at < log.size(); at += piece) {
      reader.Feed(std::string_view(log).substr(at, piece));
    }
    reader.Finish();
    EXPECT_EQ(Entries(entries), expected) << "pieces of " << piece;
  }
}

TEST(LogEntries, ManyEntriesKeepTheirTextAndOrderAcrossBlocks) {
  auto text_of = [](std::size_t i) { return std::to_string(i) + std::string(i % 97, 'x'); };
  LogEntries entries;
  constexpr std::size_t kCount = 200000;
  for (std::size_t i = 0; i < kCount; ++i) entries.AddNewest(text_of(i));
  const std::string huge(3 << 20, 'h');
  entries.AddNewest("M", huge);
  entries.AddNewest("");
  entries.AddNewest("after");
  ASSERT_EQ(entries.size(), kCount + 3);
  EXPECT_EQ(entries[0], "after");
  EXPECT_EQ(entries[1], "");
  EXPECT_EQ(entries[2], "M|" + huge);
  for (std::size_t i = 0; i < kCount; ++i) ASSERT_EQ(entries[kCount + 2 - i], text_of(i));
  entries.Clear();
  EXPECT_TRUE(entries.empty());
  entries.AddNewest("again");
  EXPECT_EQ(Entries(entries), std::vector<std::string>{"again"});
}

TEST(IsValidUtf8, AcceptsWellFormedTextAndRejectsEveryMalformedSequenceWhereverItFalls) {
  const std::string well_formed[] = {"",
                                     "\xC3\xA9",
                                     "\xE3\x83\x86",
                                     "\xEF\xBF\xBD",
                                     "\xE0\xA0\x80",
                                     "\xED\x9F\xBF",
                                     "\xF0\x90\x80\x80",
                                     "\xF4\x8F\xBF\xBF",
                                     "テスト日本語のファイル",
                                     "é—ü"};
  const std::string malformed[] = {"\x80",
                                   "\xBF",
                                   "\xC0\x80",
                                   "\xC1\xBF",
                                   "\xC3",
                                   "\xC3\x41",
                                   "\xE3\x83",
                                   "\xE3\x41\x86",
                                   "\xE3\x83\x41",
                                   "\xE0\x9F\xBF",
                                   "\xED\xA0\x80",
                                   "\xF0\x8F\xBF\xBF",
                                   "\xF4\x90\x80\x80",
                                   "\xF5\x80\x80\x80",
                                   "\xFF",
                                   "\x83\x65\x83\x58"};
  // Around every position the word-at-a-time checks can meet it.
  for (std::size_t before = 0; before <= 33; ++before) {
    for (std::size_t after = 0; after <= 17; ++after) {
      const std::string a(before, 'a'), z(after, 'z');
      for (const std::string& text : well_formed) {
        EXPECT_TRUE(IsValidUtf8(a + text + z)) << before << " " << after << " " << text;
        EXPECT_TRUE(IsValidUtf8(a + text + text + z)) << before << " " << after << " " << text;
      }
      for (const std::string& text : malformed) {
        EXPECT_FALSE(IsValidUtf8(a + text + z)) << before << " " << after;
        EXPECT_FALSE(IsValidUtf8(a + "テ" + text + "ト" + z)) << before << " " << after;
      }
    }
  }
}

TEST(SplitArgumentText, BlanksSeparateAndQuotesHoldBlanks) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitArgumentText("C:\\a.txt C:\\b.txt"), (V{"C:\\a.txt", "C:\\b.txt"}));
  EXPECT_EQ(SplitArgumentText("\"C:\\My Docs\\a.txt\" C:\\b.txt"),
            (V{"C:\\My Docs\\a.txt", "C:\\b.txt"}));
  EXPECT_EQ(SplitArgumentText("\"C:\\a b\" \"C:\\c d\""), (V{"C:\\a b", "C:\\c d"}));
  EXPECT_EQ(SplitArgumentText("C:\\My Docs\\a.txt"), (V{"C:\\My", "Docs\\a.txt"}));
  EXPECT_EQ(SplitArgumentText("a "), (V{"a"}));
  EXPECT_EQ(SplitArgumentText("a  b"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitArgumentText("a \"b c"), (V{"a", "b c"}));
  EXPECT_EQ(SplitArgumentText(""), V{});
}

TEST(Profile, ReadsByTheWindowsRules) {
  const std::string text =
      "\xEF\xBB\xBF; comment\r\n[other]\r\nLogFile=no\r\n[ tallyrun ]\n"
      ";LogFile=commented\n  logfile =  '/x;y.log'  "
      "\nLogFile=second\n[Tallyrun]\nLogFile=third\n";
  EXPECT_EQ(ProfileValue(text, "Tallyrun", "LogFile"), "/x;y.log");
  EXPECT_EQ(ProfileValue("[Tallyrun]\nLogFile=\"/a\n", "Tallyrun", "LogFile"), "\"/a");
  EXPECT_EQ(ProfileValue("[Tallyrun]\nLogFile=\n", "Tallyrun", "LogFile"), "");
  EXPECT_EQ(ProfileValue("[Tallyrun]\nOther=1\n", "Tallyrun", "LogFile"), std::nullopt);
  EXPECT_EQ(ProfileValue("", "Tallyrun", "LogFile"), std::nullopt);
}

TEST(Profile, WritingReplacesInPlaceAndKeepsEverythingElse) {
  const std::string text =
      "; keep\r\n[A]\r\nx=1\r\n[tallyrun]\r\nLogFile=/old\r\nk=v\r\n\r\n[B]\r\n";
  EXPECT_EQ(WithProfileValue(text, "Tallyrun", "LogFile", "/new"),
            "; keep\r\n[A]\r\nx=1\r\n[tallyrun]\r\nLogFile=/new\r\nk=v\r\n\r\n[B]\r\n");
  EXPECT_EQ(WithProfileValue("[Tallyrun]\r\nk=v\r\n\r\n[B]\r\n", "Tallyrun", "LogFile", "/n"),
            "[Tallyrun]\r\nk=v\r\nLogFile=/n\r\n\r\n[B]\r\n");
  EXPECT_EQ(WithProfileValue("[A]\nx=1", "Tallyrun", "LogFile", "/n"),
            "[A]\nx=1\r\n[Tallyrun]\r\nLogFile=/n\r\n");
  // A file ending in a lone CR: the line written after it must not take
  // that CR into the last value.
  for (const std::string section : {"A", "Tallyrun"}) {
    const std::string written =
        WithProfileValue("[" + section + "]\r\nx=1\r", "Tallyrun", "LogFile", "/n");
    EXPECT_EQ(ProfileValue(written, section, "x"), "1") << section;
    EXPECT_EQ(ProfileValue(written, "Tallyrun", "LogFile"), "/n") << section;
  }
  for (const std::string value : {" padded ", "'quoted'", "\"q\"", "", "a;b=c"}) {
    const std::string written = WithProfileValue(text, "Tallyrun", "LogFile", value);
    EXPECT_EQ(ProfileValue(written, "Tallyrun", "LogFile"), value);
    EXPECT_EQ(ProfileValue(written, "A", "x"), "1");
  }
}

TEST(Settings, LivesBesideTheProgramOrInTheUsersFolders) {
  ProgramPlaces places{"/opt/t", true, "/c", "/d", "/home/u"};
  EXPECT_EQ(LocateSettings(places).settings_file, "/opt/t/Tallyrun.ini");
  EXPECT_EQ(LocateSettings(places).default_log_file, "/opt/t/Tallyrun.log");
  places.program_directory_writable = false;
  EXPECT_EQ(LocateSettings(places).settings_file, "/c/tallyrun/Tallyrun.ini");
  EXPECT_EQ(LocateSettings(places).default_log_file, "/d/tallyrun/Tallyrun.log");
  places.xdg_config_home = "relative";
  places.xdg_data_home = "";
  EXPECT_EQ(LocateSettings(places).settings_file, "/home/u/.config/tallyrun/Tallyrun.ini");
  EXPECT_EQ(LocateSettings(places).default_log_file, "/home/u/.local/share/tallyrun/Tallyrun.log");
}

TEST(Settings, ResolvesTheStoredValueExactly) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const SettingsLocation location{dir / "Tallyrun.ini", dir / "Tallyrun.log"};
  EXPECT_EQ(ResolveLogFilePath(env, location), location.default_log_file);
  WriteFile(location.settings_file, "[Tallyrun]\r\nLogFile=Default\r\n");
  EXPECT_EQ(ResolveLogFilePath(env, location), location.default_log_file);
  WriteFile(location.settings_file, "[Tallyrun]\r\nLogFile=\r\n");
  EXPECT_EQ(ResolveLogFilePath(env, location), "");
  WriteFile(location.settings_file, "[Tallyrun]\r\nLogFile=default\r\n");
  EXPECT_EQ(ResolveLogFilePath(env, location), "default");
  const std::string long_path = "/" + std::string(299, 'x');
  WriteFile(location.settings_file, "[Tallyrun]\r\nLogFile=" + long_path + "\r\n");
  EXPECT_EQ(ResolveLogFilePath(env, location), long_path) << "a long path is never cut";
  WriteFile(location.settings_file, "[Tallyrun]\r\nLogFile=C:\\\x83\x65\x83\x58\x83\x67.log\r\n");
  EXPECT_EQ(ResolveLogFilePath(env, location), "C:\\テスト.log");
}

TEST(Settings, SavesOnlyAChangedPathAndKeepsOtherLines) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const SettingsLocation location{dir / "sub/Tallyrun.ini", dir / "Tallyrun.log"};
  ASSERT_TRUE(
      SaveLogFilePath(env, location, location.default_log_file, location.default_log_file).ok());
  EXPECT_FALSE(testing::FileExists(location.settings_file));

  ASSERT_TRUE(SaveLogFilePath(env, location, "/other.log", location.default_log_file).ok());
  EXPECT_EQ(ReadFile(location.settings_file), "[Tallyrun]\r\nLogFile=/other.log\r\n");
  EXPECT_EQ(ResolveLogFilePath(env, location), "/other.log");

  WriteFile(location.settings_file, "[Mine]\r\na=b\r\n[Tallyrun]\r\nLogFile=/other.log\r\n");
  ASSERT_TRUE(SaveLogFilePath(env, location, " /padded.log", "/other.log").ok());
  EXPECT_EQ(ReadFile(location.settings_file),
            "[Mine]\r\na=b\r\n[Tallyrun]\r\nLogFile=\" /padded.log\"\r\n");
  EXPECT_EQ(ResolveLogFilePath(env, location), " /padded.log");
  EXPECT_FALSE(SaveLogFilePath(env, location, "/a\nb", "/other.log").ok());
}

TEST(Settings, SavingKeepsEveryOtherLineAndNeverLeavesAHalfWrittenFile) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const SettingsLocation location{dir / "Tallyrun.ini", dir / "Tallyrun.log"};
  auto with = [](const std::string& value) {
    return "; \x90\xdd\x92\xe8\r\n[Mine]\r\na=b\r\nLogFile=mine\r\n[Tallyrun]\r\nBefore=1\r\n"
           "LogFile=" +
           value + "\r\nAfter=\x83\x65\r\n\r\n[Tallyrun]\r\nLogFile=second\r\n[Last]\r\nz=\"q\"";
  };
  auto listing = [&dir] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      names.push_back(e.path().filename().string());
    }
    return names;
  };
  WriteFile(location.settings_file, with("/old.log"));
  ASSERT_TRUE(SaveLogFilePath(env, location, "/new.log", "/old.log").ok());
  EXPECT_EQ(ReadFile(location.settings_file), with("/new.log"));
  EXPECT_EQ(listing(), std::vector<std::string>{"Tallyrun.ini"});

  // The disk fills up part way through: the file-size limit stands in.
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit limit{10, 10};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(SaveLogFilePath(env, location, "/third.log", "/old.log").ok() ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(ReadFile(location.settings_file), with("/new.log"));
  EXPECT_EQ(listing(), std::vector<std::string>{"Tallyrun.ini"});
}

}  // namespace
}  // namespace tallyrun
