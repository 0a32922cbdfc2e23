// How often the reading rule takes a name written elsewhere in the wrong
// encoding: 10,000 names as people make them in CP932 (hiragana, katakana,
// kanji, full-width digits and capitals, half-width katakana) and 10,000 in
// UTF-8 of one script (accented Latin, Cyrillic, Greek, Hebrew, CJK, emoji),
// each mixed with ASCII, read back from a log. The target is one misreading
// in a thousand names of either kind.
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/log_reader.h"
#include "core/utf8.h"
#include "platform/system_env.h"

using namespace tallyrun;

namespace {

constexpr int kNamesOfEachKind = 10000;
constexpr double kPerThousandCeiling = 1.0;

class Corpus {
 public:
  // A path of one to three words, in CP932 or in one UTF-8 script.
  std::string Path(bool in_cp932) {
    std::string path = "/d/";
    for (unsigned part = Pick(1, 3), script = Pick(0, 5); part > 0; --part) {
      if (path.size() > 3) path += " _-"[Pick(0, 2)];
      Word(in_cp932, script, path);
    }
    return path + ".txt";
  }

 private:
  unsigned Pick(unsigned first, unsigned last) { return first + random_() % (last - first + 1); }

  void Word(bool in_cp932, unsigned script, std::string& out) {
    // Lead byte (0: any of kanji's) and range of second bytes, in the order
    // of the kinds above.
    static constexpr unsigned kCp932[] = {0x82, 0x9F, 0xF1, 0x83, 0x40, 0x7E, 0,   0x80,
                                          0xFC, 0x82, 0x4F, 0x58, 0x82, 0x60, 0x79};
    static constexpr char32_t kScripts[][2] = {{0xE0, 0xFE},     {0x430, 0x44F},
                                               {0x3B1, 0x3C9},   {0x5D0, 0x5EA},
                                               {0x4E00, 0x9FA5}, {0x1F600, 0x1F64F}};
    static const std::string kAscii[] = {"IMG", "report", "2024", "(1)", "v2", "Doc", "x"};
    if (Pick(0, 2) == 0) return void(out += kAscii[Pick(0, 6)]);
    const unsigned capitals = Pick(0, 9);
    for (unsigned i = 0, n = Pick(2, 6); i < n; ++i) {
      const unsigned kind = Pick(0, 5), *row = kCp932 + 3 * kind;
      if (in_cp932 && kind == 5) out += static_cast<char>(Pick(0xA6, 0xDF));
      if (in_cp932 && kind < 5) {
        out += {static_cast<char>(row[0] == 0 ? Pick(0x89, 0x97) : row[0]),
                static_cast<char>(Pick(row[1], row[2]))};
      }
      if (in_cp932) continue;
      char32_t c = Pick(kScripts[script][0], kScripts[script][1]);
      if (c == 0xF7 || (script == 0 && kind < 4)) c = Pick('a', 'z');
      if (c == 0x3C2) c = 0x3C3;  // σ for ς, which has no capital
      if (script < 3 && (capitals == 0 || (capitals < 3 && i == 0))) c -= 0x20;
      const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
      const unsigned char leads[] = {0, 0xC0, 0xE0, 0xF0};
      out += static_cast<char>(leads[extra] | (c >> (6 * extra)));
      for (int k = extra - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    }
  }

  std::mt19937 random_{20020626};
};

}  // namespace

int main() {
  platform::SystemEnv env;
  Corpus corpus;
  std::vector<std::string> expected;
  std::string log;
  for (int i = 0; i < 2 * kNamesOfEachKind; ++i) {
    const std::string path = corpus.Path(i % 2 == 0);
    expected.push_back(path);
    if (i % 2 == 0) env.DecodeLegacyText(path, expected.back());
    log += "M\t" + path + "\t\r\n";
  }
  bench::ScratchFolder scratch;
  bench::WriteFile(scratch / "t.log", log);
  const std::vector<std::string> entries = ReadEntries(env, scratch / "t.log");
  int misread[2] = {};  // in CP932, in UTF-8
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const std::string& entry = entries.at(entries.size() - 1 - i);
    misread[i % 2] += StraysRestored(EntryPath(entry)) != expected[i];
  }
  std::printf("Names misread: %d of %d in CP932, %d of %d in UTF-8\n", misread[0], kNamesOfEachKind,
              misread[1], kNamesOfEachKind);
  const double per_thousand = 1000.0 * std::max(misread[0], misread[1]) / kNamesOfEachKind;
  return bench::Verdict("names misread per thousand, the worse kind", per_thousand,
                        kPerThousandCeiling)
             ? 0
             : 1;
}
