#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/argument_text.h"
#include "core/ascii.h"
#include "core/byte_search.h"
#include "core/date_time_text.h"
#include "core/log_index.h"
#include "core/log_reader.h"
#include "core/log_record.h"
#include "core/paths.h"
#include "core/profile.h"
#include "core/settings.h"
#include "core/text_reading.h"
#include "core/utf16.h"
#include "core/utf8.h"
#include "core/visible_text.h"
#include "platform/files.h"
#include "tests/test_support.h"

namespace tallyrun {
namespace {

using namespace tallyrun::testing;
using V = std::vector<std::string>;

constexpr LocalTime kNow{2026, 12, 6, 9, 3, 14};
constexpr LocalTime kModified{2002, 6, 26, 21, 5, 0};

TEST(MakeLogLine, OnlyPlainFoldersAndUnreadableItemsGainASeparator) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  for (const auto& [name, mode] : {std::pair{"a", 0755}, {"r", 0555}}) {
    ::mkdir((dir / name).c_str(), mode);
    SetModified(dir / name, name == std::string("a") ? LocalTime{2002, 6, 26} : kModified);
  }
  ASSERT_EQ(::symlink("a", (dir / "to-a").c_str()), 0);
  const std::string now = "2026/12/06 9:03:14\t";
  // clang-format off
  const struct { std::string path, logged, modified; } rows[] = {
      {dir / "a", dir / "a/", "2002/06/26"}, {dir / "a/", dir / "a/", "2002/06/26"},
      {dir / "to-a", dir / "to-a/", "2002/06/26"}, {dir / "r", dir / "r", "2002/06/26 21:05:00"}};
  // clang-format on
  for (const auto& row : rows) {
    std::string path = row.path;
    EXPECT_EQ(MakeLogLine(path, env), now + row.logged + "\t" + row.modified);
    EXPECT_EQ(path, row.logged) << "what is shown matches what is logged";
  }
  // The date alone at midnight only; a date that has no text is left out.
  // clang-format off
  const std::pair<LocalTime, std::string> dates[] = {
      {{2002, 6, 26, 0, 0, 1}, "/f\t2002/06/26 0:00:01"}, {{1, 1, 1}, "/f\t0001/01/01"},
      {{10000, 1, 1}, "/f\t"}, {{}, "/f\t"}};
  // clang-format on
  for (const auto& [date, logged] : dates) {
    std::string path = "/f";
    EXPECT_EQ(MakeLogLine(path, env, ItemFacts{0, date}, kNow), now + logged);
  }
  // Every field at either end of its range, and one step past it.
  std::string text;
  AppendDateTimeText(text, {9999, 12, 31, 23, 59, 60});
  AppendDateTimeText(text, {1, 1, 1, 10, 0, 0});
  EXPECT_EQ(text, "9999/12/31 23:59:600001/01/01 10:00:00");
  // Year 0, month 0 or 13, day 0 or 32, and so on.
  // clang-format off
  const LocalTime past[] = {{0, 1, 1}, {1, 0, 1}, {1, 13, 1}, {1, 1, 0}, {1, 1, 32},
                            {1, 1, 1, -1}, {1, 1, 1, 24}, {1, 1, 1, 0, -1}, {1, 1, 1, 0, 60},
                            {1, 1, 1, 0, 0, -1}, {1, 1, 1, 0, 0, 61}};
  // clang-format on
  for (const LocalTime& t : past) EXPECT_FALSE(IsExpressible(t)) << "row " << &t - past;
}

// Blanks separate items, two in a row giving an empty one; quotes hold
// blanks, and an opening quote without its closing one takes the rest.
TEST(SplitArgumentText, SplitsAtBlanksOutsideQuotes) {
  // clang-format off
  const std::pair<std::string, V> rows[] = {
      {"", {}}, {"a  b ", {"a", "", "b"}}, {"x \"open rest", {"x", "open rest"}},
      {"\"a b\"c \"\" \"d\"  e", {"a b", "c", "", "d", "", "e"}}};
  // clang-format on
  for (const auto& [text, items] : rows) EXPECT_EQ(SplitArgumentText(text), items) << text;
  EXPECT_TRUE(EqualsIgnoringAsciiCase("AZaz09", "azAZ09"));
  for (const auto& [a, b] : {std::pair{"@[", "`{"}, {"ab", "xb"}, {"a", "ab"}})
    EXPECT_FALSE(EqualsIgnoringAsciiCase(a, b)) << a;
}

TEST(LogReader, ReadsEveryWholeRecordNewestFirstSkippingDamageHoweverItArrives) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const std::string log = dir / "t.log";
  const std::string nul(1, '\0');
  // clang-format off
  const struct { const char* name; std::string text; V entries; } rows[] = {
      {"both forms", "\"M1\t/a\tD1\"\r\nM2\t/b,c\t\r\n\"M3\t/say \"hi\".txt\t\"\r\n",
       V{"M3|/say \"hi\".txt", "M2|/b,c", "M1|/a"}},
      {"empty lines, one TAB, empty quotes, NULs, a \"|\" in the moment, a cut tail",
       "M1\t/a\tD\r\n\r\nM2 only one tab\t/b\r\n\"\"\r\n" + nul + nul + "\r\nM|2\t/x\tD\r\n" +
       "M3\t/c\tD\r\nM4\t/cu", V{"M3|/c", "M1|/a"}},
      {"LF alone, no last line end", "M1\t/a\tD\nM2\t/b\t", V{"M2|/b", "M1|/a"}},
      // Each line is judged alone; 表 is 0x95 0x5C in CP932, whose second byte
      // must not pass for a "\\" nor one decoded line stand in for the next.
      // CP932 that is also UTF-8 (ﾃｽﾄ１) or mostly so (ひなまつり); marked UTF-8.
      {"encodings mixed line by line",
       "M1\t/あ\tD\r\n\"M2\tC:\\\x95\x5C-1.txt\t\"\r\nM3\tD:\\\x95\x5C-2\t\r\n"
       "M4\t/いう\xFF\tD\r\nM5\t/う\tD\r\nM6\t/\xC3\xBD\xC4\x82\x50\tD\r\n"
       "M7\t/\x82\xD0\x82\xC8\x82\xDC\x82\xC2\x82\xE8\t\r\n\xEF\xBB\xBF\"M8\t/\xC3\xA9\t\"\r\n",
       V{"M8|/é", "M7|/ひなまつり", "M6|/ﾃｽﾄ１", "M5|/う", "M4|/いう\xED\xB3\xBF", "M3|D:\\表-2",
         "M2|C:\\表-1.txt", "M1|/あ"}},
      {"a NUL or a CR alone in a path", "M1\t/a" + nul + "b\tD\r\nM2\t/a\rb\tD\r\r\n",
       V{"M2|/a\rb", "M1|/a" + nul + "b"}}};
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(log, row.text);
    EXPECT_EQ(ReadEntries(env, log), row.entries);
    // Fed to the scan a byte at a time.
    RecordPlaces places;
    LogScanner scanner(places);
    const std::string_view text = row.text;
    for (std::size_t i = 0; i < text.size(); ++i) scanner.Feed(text.substr(i, 1), i);
    scanner.Finish();
    EXPECT_EQ(EntriesOf(text, places, env), row.entries) << "fed byte by byte";
  }
  // Its own records read back as written, also those the rule alone would
  // take for CP932 (ﾃｽﾄ１).
  std::string own;
  for (const char* path : {"/\xC3\xBD\xC4\x82\x50", "/é"})
    AppendBareLine(own, "M\t" + std::string(path) + "\t");
  WriteFile(log, own);
  EXPECT_EQ(ReadEntries(env, log), (V{"M|/é", "M|/\xC3\xBD\xC4\x82\x50"}));
}

TEST(LogScanner, AHugeLineIsPassedOverWithoutEverBeingHeldWhole) {
  RecordPlaces places;
  LogScanner scanner(places);
  const std::string head = "M1\t/a\tD\r\n\"M2\t/b\tD\"\r\nM3\t/";
  scanner.Feed(head, 0);
  // A path that runs on for 200 MB before its line ends.
  const std::string block(std::size_t{1} << 20, 'x');
  std::uint64_t at = head.size();
  for (int i = 0; i < 200; ++i, at += block.size()) scanner.Feed(block, at);
  scanner.Feed("\tD\r\nM4\t/d\tD\r\n", at);
  scanner.Finish();
  // M1 and M2 are found as one run; M4, after the long line, by a place of its own.
  std::vector<std::pair<std::uint64_t, std::size_t>> where;
  for (std::size_t row = 0; row < places.size(); ++row)
    where.emplace_back(places.Locate(row).at, places.Locate(row).records_before);
  EXPECT_EQ(where, (decltype(where){{at + 4, 0}, {0, 1}, {0, 0}}));
  // Lines are found wherever they are; one too long to be a record is passed over.
  const std::string far =
      std::string(1 << 20, '\n') + "M\t/" + std::string(1 << 20, 'x') + "\tD\nM\t/b\tD";
  EXPECT_EQ(RecordLinesFrom(far, 2), (std::vector<std::size_t>{far.size() - 6}));
}

// Bytes that are CP932 too read as CP932 exactly when a two-byte character
// among them is odd by the rule: tried for every such character, alone and
// beside letters of its own script or another, against the rule's classes
// from each edge on: a sign (n), odd (o), a mark (m), or a letter of a
// script with its case (1 capital, -1 small, 0 none, 2 or 3 a capital on
// each even or odd code point, its small letter next).
TEST(ReadingOf, TakesCp932WhereAndOnlyWhereACharacterIsOddBesideItsNeighbours) {
  // clang-format off
  struct Edge { char32_t from; char kind; int letter_case = 0; };
  const Edge edges[] = {
      {0x80, 'o'},      {0xA0, 'n'},      {0xC0, 'L', 1},  {0xD7, 'n'},      {0xD8, 'L', 1},
      {0xDF, 'L', -1},  {0xF7, 'n'},      {0xF8, 'L', -1}, {0x100, 'L', 2},  {0x138, 'L', -1},
      {0x139, 'L', 3},  {0x149, 'L', -1}, {0x14A, 'L', 2}, {0x178, 'L', 1},  {0x179, 'L', 3},
      {0x17F, 'L', -1}, {0x180, 'o'},     {0x1A0, 'L', 2}, {0x1A2, 'o'},     {0x1AF, 'L', 3},
      {0x1B1, 'o'},     {0x1CD, 'L', 3},  {0x1DD, 'o'},    {0x218, 'L', 2},  {0x21C, 'o'},
      {0x300, 'm'},     {0x370, 'G'},     {0x386, 'G', 1}, {0x387, 'G'},     {0x388, 'G', 1},
      {0x3AC, 'G', -1}, {0x3CF, 'G'},     {0x400, 'C', 1}, {0x430, 'C', -1}, {0x460, 'C', 2},
      {0x482, 'C'},     {0x48A, 'C', 2},  {0x4C0, 'C', 1}, {0x4C1, 'C', 3},  {0x4CF, 'C', -1},
      {0x4D0, 'C', 2},  {0x530, 'o'},     {0x531, 'A', 1}, {0x557, 'o'},     {0x560, 'A', -1},
      {0x589, 'o'},     {0x591, 'm'},     {0x5C8, 'o'},    {0x5D0, 'H'},     {0x5EB, 'o'},
      {0x5EF, 'H'},     {0x5F3, 'o'},     {0x620, 'R'},    {0x64B, 'm'},     {0x660, 'o'},
      {0x670, 'm'},     {0x671, 'R'},     {0x6D4, 'o'},    {0x6D5, 'R'},     {0x6D6, 'o'},
      {0x800, 'n'}};
  // clang-format on
  // A small and a capital letter of each script; Hebrew and Arabic have no case.
  const std::map<char, std::pair<std::string, std::string>> letters = {
      {'L', {"z", "Z"}}, {'G', {"α", "Α"}}, {'C', {"а", "А"}},
      {'A', {"ա", "Ա"}}, {'H', {"א", "ב"}}, {'R', {"ا", "ب"}}};
  EXPECT_FALSE(IsValidCp932(std::string{'\x82', '\0'}));
  for (std::size_t e = 0; e + 1 < std::size(edges); ++e) {
    const Edge& edge = edges[e];
    const bool letter = std::isupper(edge.kind), odd = edge.kind == 'o', mark = edge.kind == 'm';
    const auto& [small, capital] = letters.at(letter ? edge.kind : 'L');
    for (char32_t c = edge.from; c < edges[e + 1].from; ++c) {
      const bool big = edge.letter_case == 1 ||
                       (edge.letter_case > 1 && static_cast<int>(c % 2) == edge.letter_case % 2);
      const bool little = edge.letter_case == -1 || (edge.letter_case > 1 && !big);
      const std::string it = {static_cast<char>(0xC0 | (c >> 6)),
                              static_cast<char>(0x80 | (c & 0x3F))};
      const std::pair<std::string, bool> tries[] = {
          {it, edge.kind != 'n'},
          {"a" + it, odd || (letter && (edge.kind != 'L' || big))},
          {it + "a", odd || mark || (letter && edge.kind != 'L')},
          {it + it, odd || mark},
          {small + it, odd || (letter && big)},
          {it + capital, odd || mark || (letter && little)},
          {it + "A", odd || mark || (letter && (edge.kind != 'L' || little))},
      };
      // Endings that complete a last byte that CP932 takes for a lead byte.
      for (const auto& [text, is_odd] : tries) {
        for (const char* end : {"`", "ｱ"}) {
          const std::string bytes = text + end;
          ASSERT_EQ(ReadingOf(bytes),
                    is_odd && IsValidCp932(bytes) ? Reading::kCp932 : Reading::kUtf8)
              << std::hex << static_cast<unsigned>(c) << " in " << bytes;
        }
      }
    }
  }
}

// Lines are judged sixteen and thirty-two bytes at a time: the verdict is the
// plain rule's whatever the length and wherever the TABs and "|" fall.
TEST(IsRecordLine, AgreesWithThePlainRuleWhereverTheTabsFall) {
  const auto plain = [](std::string_view f) {
    const std::size_t tab = f.find('\t'), npos = std::string_view::npos;
    return tab != npos && f.substr(0, tab).find('|') == npos && f.find('\t', tab + 1) != npos;
  };
  for (std::size_t size = 0; size <= 66; ++size) {
    for (std::size_t a = 0; a <= size; ++a) {
      for (std::size_t b = a; b <= size; ++b) {
        for (std::size_t p = 0; p <= std::min<std::size_t>(size, 34); ++p) {
          std::string f(size, 'x');
          for (const std::size_t at : {p, a, b})
            if (at < size) f[at] = at == p ? '|' : '\t';
          ASSERT_EQ(IsRecordLine(f), plain(f)) << size << " " << a << " " << b << " " << p;
          if (p != size) continue;
          for (const std::string& line :
               {"\"" + f + "\"", "\"" + f, std::string(kUtf8Mark) + f + "\r"})
            ASSERT_EQ(IsRecordLine(line), plain(f)) << line;
          EXPECT_EQ(RecordField("\"" + f + "\"x"), f);
        }
      }
    }
  }
}

TEST(FindByteInBlocks, AgreesWithAPlainSearchWhateverTheNeighboursAndWhereverItStarts) {
  for (const char sought : {'\n', '\xEF'}) {
    for (std::size_t size = 0; size <= 80; ++size) {
      // Neighbours one bit away from the sought byte, the high bit among them.
      std::string text;
      for (std::size_t i = 0; i < size; ++i)
        text.push_back(static_cast<char>(sought ^ (i % 3 == 0 ? 0x80 : 0x01)));
      for (std::size_t at = 0; at <= size; ++at) {
        std::string with = text;
        if (at < size) with[at] = sought;
        if (at + 5 < size) with[at + 5] = sought;
        for (std::size_t from = 0; from <= size + 1; ++from)
          ASSERT_EQ(FindByteInBlocks(with.data(), with.size(), sought, from),
                    std::string_view(with).find(sought, from))
              << size << " " << at << " " << from;
      }
    }
  }
}

TEST(FindText, AgreesWithAPlainSearchForEveryPieceInEitherCase) {
  // Letters of both cases, and bytes one bit from them ('@' and '[' border
  // the capitals, 0xC1 has the high bit).
  std::string text;
  for (int i = 0; i < 70; ++i) text.push_back("aB@c[Z/\xC1zA.b"[(i * 7) % 12]);
  std::string lowered = text;
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (std::size_t at = 0; at < text.size(); ++at) {
    for (std::size_t size = 1; at + size <= text.size() && size <= 20; ++size) {
      const std::string key = lowered.substr(at, size);
      ASSERT_EQ(FindText(text, key, true), lowered.find(key)) << at << " " << size;
      std::string exact = text.substr(at, size);
      ASSERT_EQ(FindText(text, exact, false), text.find(exact)) << at << " " << size;
      exact.back() ^= 0x20;
      ASSERT_EQ(FindText(text, exact, false), text.find(exact)) << at << " " << size;
    }
  }
  EXPECT_EQ(FindText("xAb", "xab", true), 0u);
  EXPECT_EQ(FindText(std::string_view("aab", 2), "ab", false), std::string_view::npos);
}

TEST(IsValidUtf8, AcceptsWellFormedTextAndRejectsEveryMalformedSequenceWhereverItFalls) {
  // Two, three and four bytes, at the edges of each range:
  const V well_formed = {"\xC3\xA9",     "\xEF\xBF\xBD",     "\xE0\xA0\x80",
                         "\xED\x9F\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"};
  const V malformed = {
      // Stray, cut short or broken off:
      "\x80", "\xC3", "\xFF", "\xC3\x41", "\xE3\x83", "\xE3\x41\x86", "\xE3\x83\x41",
      // Overlong, a surrogate, above U+10FFFF:
      "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80",
      "\xF4\x90\x80\x80", "\xF5\x80\x80\x80"};
  // Around every position the word-at-a-time checks can meet it.
  for (std::size_t before = 0; before <= 33; ++before) {
    for (std::size_t after = 0; after <= 17; ++after) {
      const std::string a(before, 'a'), z(after, 'z');
      for (const std::string& text : well_formed)
        EXPECT_TRUE(IsValidUtf8(a + text + text + z)) << before << " " << after << " " << text;
      for (const std::string& text : malformed) {
        EXPECT_FALSE(IsValidUtf8(a + text + z)) << before << " " << after;
        EXPECT_FALSE(IsValidUtf8(a + "テ" + text + "ト" + z)) << before << " " << after;
      }
    }
  }
}

// Paths are made full and taken apart by their text alone: a trailing
// separator stays, and a name that merely starts with a dot is a name.
TEST(Paths, AreMadeFullAndTakenApartByTheTextAlone) {
  const std::pair<std::string, std::string> full[] = {
      {"../../../x", "/x"}, {"/a/../../b/", "/b/"}, {"x/..", "/w/d"},
      {"x", "/w/d/x"},      {"", "/w/d/"},          {"//a/./", "/a/"},
      {"/", "/"},           {"/a.b/c", "/a.b/c"},   {"/a/.b", "/a/.b"},
      {"/./x", "/x"},       {".h", "/w/d/.h"},      {"a/./b//c/", "/w/d/a/b/c/"}};
  for (const auto& [path, made] : full) EXPECT_EQ(FullPath(path, "/w/d"), made) << path;
  for (const auto& [base, made] : {std::pair{"/", "/x"}, {"/w/./d", "/w/d/x"}, {"rel", "rel/x"}})
    EXPECT_EQ(FullPath("x", base), made) << base;
  // The folder, the last name, and the name joined to the folder again.
  // clang-format off
  const std::tuple<std::string, std::string, std::string> parts[] = {
      {"/a/b", "/a", "b"}, {"/a", "/", "a"}, {"a", ".", "a"},
      {"/", "/", ""}, {"a/b//", "a/b/", "b"}};
  // clang-format on
  for (const auto& [path, folder, name] : parts) {
    EXPECT_EQ(FolderOf(path), folder) << path;
    EXPECT_EQ(FinalName(path), name) << path;
  }
  EXPECT_EQ(JoinPath("/a", "b") + JoinPath("/a/", "b") + JoinPath("", "b"), "/a/b/a/bb");
  EXPECT_EQ(FoldersDownTo("/a//b"), (V{"/", "/a", "/a//b"}));
}

std::string Utf16(std::string_view utf8, ByteOrder order) {
  return (order == ByteOrder::kLittleEndian ? "\xFF\xFE" : "\xFE\xFF") + Utf8ToUtf16(utf8, order);
}

// Each length of UTF-8 at its edges, and lone surrogates, which keep their
// three-byte form; malformed UTF-8 comes out as U+FFFD, a last odd byte not
// at all.
TEST(Utf16, ConvertsEveryLengthAtItsEdgesBothWays) {
  const std::string text =
      "\x7F\u0080\u07FF\u0800\uFFFF\U00010000\U0010FFFF\xED\xA0\x80-\xED\xB0\x80";
  const std::string le(
      "\x7F\0\x80\0\xFF\x07\0\x08\xFF\xFF\0\xD8\0\xDC\xFF\xDB\xFF\xDF\0\xD8-\0\0\xDC", 24);
  EXPECT_EQ(Utf8ToUtf16(text, ByteOrder::kLittleEndian), le);
  std::string be = le;
  for (std::size_t i = 0; i < be.size(); i += 2) std::swap(be[i], be[i + 1]);
  EXPECT_EQ(Utf8ToUtf16(text, ByteOrder::kBigEndian), be);
  EXPECT_EQ(Utf16ToUtf8(le + "x", ByteOrder::kLittleEndian), text);
  EXPECT_EQ(Utf16ToUtf8(be, ByteOrder::kBigEndian), text);
  EXPECT_EQ(Utf16ToUtf8(std::string("\0\xD8", 2), ByteOrder::kLittleEndian), "\xED\xA0\x80");
  EXPECT_EQ(Utf16ToUtf8(std::string("\0\xD8\0\xDC", 4), ByteOrder::kLittleEndian), "\U00010000");
  std::string bad;
  for (int i = 0; i < 11; ++i) bad += "\uFFFD";
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("\xC0\x80\xE0\x80\x80\xF4\x90\x80\x80\xF5\xE3\x41\xE3\x81",
                                    ByteOrder::kLittleEndian),
                        ByteOrder::kLittleEndian),
            bad + "A" + bad.substr(0, 6));
}

// Controls become escapes or pictures; C1 and bidirectional controls \uXXXX,
// their neighbours staying; stray bytes, raw or carried, \xHH.
TEST(VisibleText, ShowsEveryCharacterThatCouldHideOrTurnANameAsAnEscape) {
  const std::tuple<std::string, std::string, std::string> rows[] = {
      {"a\tb\r\n\x01\x1F\x7F ~", "a\\tb\\r\\n\\x01\\x1F\\x7F ~", "a␉b␍␊␁␟␡ ~"},
      {"\u007E\u0080\u009F\u00A0\u061B\u061C\u061D\u200D\u200E\u200F\u2010",
       "~\\u0080\\u009F\u00A0\u061B\\u061C\u061D\u200D\\u200E\\u200F\u2010", ""},
      {"\u2029\u202A\u202E\u202F\u2065\u2066\u2069\u206A",
       "\u2029\\u202A\\u202E\u202F\u2065\\u2066\\u2069\u206A", ""},
      {"é\xFF\xED\xB3\xBF😀\xE3\x81-\xF0\x9F\x98-\xC3",
       "é\\xFF\\xFF😀\\xE3\\x81-\\xF0\\x9F\\x98-\\xC3", ""}};
  for (const auto& [text, escaped, pictured] : rows) {
    EXPECT_EQ(VisibleText(text, ControlStyle::kEscapes), escaped);
    EXPECT_EQ(VisibleText(text, ControlStyle::kPictures), pictured.empty() ? escaped : pictured);
  }
  for (const std::string hidden : {"x\u0085", "\u00A0\u009F", "\u061C", "é\u2010\u2069"})
    EXPECT_TRUE(HoldsHiddenControl(hidden)) << hidden;
  EXPECT_FALSE(HoldsHiddenControl("\u00A0\u061D\u2010\u202F\u206A😀\t"));
}

TEST(Profile, ReadsByTheWindowsRules) {
  const std::string nul(1, '\0');
  const std::pair<std::string, std::optional<std::string>> rows[] = {
      {"\xEF\xBB\xBF; comment\r\n[other]\r\nLogFile=no\r\n[ tallyrun ]\n;LogFile=commented\n"
       "  logfile =  '/x;y.log'  \nLogFile=second\n[Tallyrun]\nLogFile=third\n",
       "/x;y.log"},
      {"[Tallyrun]\nLogFile=\"/a\n", "\"/a"},
      {"[Tallyrun]\nOther=1\n", std::nullopt},
      // Any run of CR and LF ends a line.
      {"[Tallyrun]\rLogFile=v", "v"},
      // Blanks as Windows trims them, ^Z too; not a no-break space.
      {"\x1A[\vTallyrun\f]\x1A\n\t LogFile\x1A=\x1A\v v \f\x1A\n", "v"},
      {"[Tallyrun]\nLogFile=\xA0v", "\xA0v"},
      // A NUL ends a value; a name holding one matches nothing.
      {"[Tallyrun" + nul + "]\nLogFile=x\n[Tallyrun]\nLogFile" + nul + "=x\nLogFile=v" + nul + "w",
       "v"},
      // A key without "=" hides later lines of that key.
      {"[Tallyrun]\nLogFile\nLogFile=v\n", std::nullopt},
      // A section name runs to the last "]".
      {"[Tallyrun]]\nLogFile=v\n", std::nullopt},
      {Utf16("[Tallyrun]\r\nLogFile=/テ\U0001F600\r\n", ByteOrder::kLittleEndian), "/テ\U0001F600"},
      {Utf16("[Tallyrun]\r\nLogFile=/テ\r\n", ByteOrder::kBigEndian), "/テ"},
  };
  for (const auto& [text, value] : rows)
    EXPECT_EQ(ProfileValue(text, "Tallyrun", "LogFile"), value);
  // In CP932, a "]" that is the second byte of a character closes nothing;
  // in UTF-8, marked or from UTF-16, it always does, also where the reading
  // rule would take the line for CP932.
  for (const std::string lead : {"\x81", "\x9F", "\xE0", "\xFB"}) {
    EXPECT_EQ(ProfileValue("[" + lead + "]\nk=v", lead, "k"), std::nullopt);
    EXPECT_EQ(ProfileValue("[" + lead + "]]\nk=v", lead + "]", "k"), "v");
  }
  for (const std::string other : {"\x80", "\xA0", "\xDF", "\xFD"})
    EXPECT_EQ(ProfileValue("[" + other + "]\nk=v", other, "k"), "v");
  for (const std::string& text :
       {std::string("\xEF\xBB\xBF[Ɓ]\nk=v"), Utf16("[Ɓ]\nk=v", ByteOrder::kBigEndian)})
    EXPECT_EQ(ProfileValue(text, "Ɓ", "k"), "v");
}

TEST(Profile, ChangesOneLineKeepingTheFilesLineEndsAndEncoding) {
  const std::pair<std::string, std::string> rows[] = {
      {"[Tallyrun]\r\nk=v\r\n\r\n[B]\r\n", "[Tallyrun]\r\nk=v\r\nLogFile=/n\r\n\r\n[B]\r\n"},
      {"[A]\nx=1", "[A]\nx=1\n[Tallyrun]\nLogFile=/n\n"},
      {"[Tallyrun]\nx=1", "[Tallyrun]\nx=1\nLogFile=/n\n"},
      {"[tallyrun]\r  logfile \r", "[tallyrun]\rlogfile=/n\r"},
      {"[Tallyrun]", "[Tallyrun]\r\nLogFile=/n\r\n"},  // one line, no line end
  };
  for (const auto& [text, written] : rows)
    EXPECT_EQ(WithProfileValue(text, "Tallyrun", "LogFile", "/n"), written);
  for (const ByteOrder order : {ByteOrder::kLittleEndian, ByteOrder::kBigEndian})
    EXPECT_EQ(WithProfileValue(Utf16("[Tallyrun]\r\nLogFile=/old\r\n", order), "Tallyrun",
                               "LogFile", "/テ"),
              Utf16("[Tallyrun]\r\nLogFile=/テ\r\n", order));
}

TEST(Settings, LivesBesideTheProgramOrInTheUsersFolders) {
  // The program's folder, whether it can be written, XDG_CONFIG_HOME, XDG_DATA_HOME, HOME.
  const std::pair<ProgramPlaces, std::string> rows[] = {
      {{"/opt/t", true, "/c", "/d", "/home/u"}, "/opt/t/Tallyrun.ini /opt/t/Tallyrun.log"},
      {{"/opt/t", false, "/c", "/d", "/home/u"},
       "/c/tallyrun/Tallyrun.ini /d/tallyrun/Tallyrun.log"},
      {{"/opt/t", false, "relative", "", "/home/u"},
       "/home/u/.config/tallyrun/Tallyrun.ini /home/u/.local/share/tallyrun/Tallyrun.log"}};
  for (const auto& [places, located] : rows) {
    const SettingsLocation at = LocateSettings(places);
    EXPECT_EQ(at.settings_file + " " + at.default_log_file, located);
  }
}

// The stored value is resolved exactly; saving a path keeps every other
// line and is never half written.
TEST(Settings, AValueIsResolvedExactlyAndSavedKeepingEveryOtherLineAndNeverHalfWritten) {
  TempDir dir;
  PinnedClockEnv env(kNow);
  const SettingsLocation location{dir / "Tallyrun.ini", dir / "Tallyrun.log"};
  const std::string& ini = location.settings_file;
  const std::string uncut = "/" + std::string(299, 'x');
  // clang-format off
  const std::pair<std::string, std::string> rows[] = {
      {"Default", location.default_log_file}, {"", ""}, {"default", "default"}, {uncut, uncut},
      // CP932, also when it is UTF-8 too (ﾒｰﾙ１); bytes neither UTF-8 nor CP932 as they are.
      {"C:\\\x83\x65\x83\x58\x83\x67.log", "C:\\テスト.log"}, {"/caf\xE9.log", "/caf\xE9.log"},
      {"C:\\\xD2\xB0\xD9\x82\x50.log", "C:\\ﾒｰﾙ１.log"}, {"/データ\xFF.log", "/データ\xFF.log"}};
  // clang-format on
  for (const auto& [stored, resolved] : rows) {
    WriteFile(ini, "[Tallyrun]\r\nLogFile=" + stored + "\r\n");
    EXPECT_EQ(ResolveLogFilePath(env, location).path, resolved);
  }

  auto with = [](const std::string& value) {
    return "; \x90\xdd\x92\xe8\r\n[Mine]\r\na=b\r\nLogFile=mine\r\n[Tallyrun]\r\nBefore=1\r\n"
           "LogFile=" +
           value + "\r\nAfter=\x83\x65\r\n\r\n[Tallyrun]\r\nLogFile=second\r\n[Last]\r\nz=\"q\"";
  };
  WriteFile(ini, "");
  ASSERT_TRUE(SaveLogFilePath(env, location, "/old.log", "").ok());
  EXPECT_EQ(ResolveLogFilePath(env, location).path, "/old.log");
  WriteFile(ini, with("/old.log"));
  ASSERT_TRUE(SaveLogFilePath(env, location, " /padded.log", "/old.log").ok());
  EXPECT_EQ(ReadFile(ini), with("\" /padded.log\""));
  EXPECT_EQ(ResolveLogFilePath(env, location).path, " /padded.log");
  EXPECT_FALSE(SaveLogFilePath(env, location, "/a\nb", "/old.log").ok());

  // The disk fills up part way through: the file-size limit stands in.
  const pid_t child = ::fork();
  if (child == 0) {
    platform::TakeFileSizeLimitAsError();
    const rlimit limit{10, 10};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::_exit(SaveLogFilePath(env, location, "/third.log", "/old.log").ok() ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(ini), with("\" /padded.log\""));
  // Nothing is left beside the file, such as a temporary copy.
  EXPECT_EQ(std::ranges::distance(std::filesystem::directory_iterator(dir.path())), 1);
  // A path the rule would take for CP932 is kept in UTF-16.
  ASSERT_TRUE(SaveLogFilePath(env, location, "/é.log", "/old.log").ok());
  EXPECT_EQ(ResolveLogFilePath(env, location).path, "/é.log");
  // A file too big to be read whole is read but never rewritten.
  WriteFile(ini, with("/big.log") + std::string(1 << 20, ' '));
  EXPECT_FALSE(SaveLogFilePath(env, location, "/b.log", "/big.log").ok());
  EXPECT_EQ(ResolveLogFilePath(env, location).path, "/big.log");
}

}  // namespace
}  // namespace tallyrun
