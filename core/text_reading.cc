#include "core/text_reading.h"

#include <array>
#include <cstdint>
#include <utility>

#include "core/utf8.h"

namespace tallyrun {
namespace {

// The second bytes CP932 defines after each lead byte, as ranges.
struct Row {
  unsigned char first_lead, last_lead;
  std::array<std::pair<unsigned char, unsigned char>, 7> seconds;
};
constexpr Row kRows[] = {
    {0x81,
     0x81,
     {{{0x40, 0x7E},
       {0x80, 0xAC},
       {0xB8, 0xBF},
       {0xC8, 0xCE},
       {0xDA, 0xE8},
       {0xF0, 0xF7},
       {0xFC, 0xFC}}}},
    {0x82, 0x82, {{{0x4F, 0x58}, {0x60, 0x79}, {0x81, 0x9A}, {0x9F, 0xF1}}}},
    {0x83, 0x83, {{{0x40, 0x7E}, {0x80, 0x96}, {0x9F, 0xB6}, {0xBF, 0xD6}}}},
    {0x84, 0x84, {{{0x40, 0x60}, {0x70, 0x7E}, {0x80, 0x91}, {0x9F, 0xBE}}}},
    {0x87, 0x87, {{{0x40, 0x5D}, {0x5F, 0x75}, {0x7E, 0x7E}, {0x80, 0x9C}}}},
    {0x88, 0x88, {{{0x9F, 0xFC}}}},
    {0x89, 0x97, {{{0x40, 0x7E}, {0x80, 0xFC}}}},
    {0x98, 0x98, {{{0x40, 0x72}, {0x9F, 0xFC}}}},
    {0x99, 0x9F, {{{0x40, 0x7E}, {0x80, 0xFC}}}},
    {0xE0, 0xE9, {{{0x40, 0x7E}, {0x80, 0xFC}}}},
    {0xEA, 0xEA, {{{0x40, 0x7E}, {0x80, 0xA4}}}},
    {0xED, 0xED, {{{0x40, 0x7E}, {0x80, 0xFC}}}},
    {0xEE, 0xEE, {{{0x40, 0x7E}, {0x80, 0xEC}, {0xEF, 0xFC}}}},
    {0xFA, 0xFB, {{{0x40, 0x7E}, {0x80, 0xFC}}}},
    {0xFC, 0xFC, {{{0x40, 0x4B}}}},
};

// One bit for each pair of lead and second byte.
using PairBits = std::array<std::array<std::uint64_t, 4>, 256>;
constexpr PairBits MakePairBits() {
  PairBits bits{};
  for (const Row& row : kRows) {
    for (unsigned lead = row.first_lead; lead <= row.last_lead; ++lead) {
      for (const auto& [first, last] : row.seconds) {
        for (unsigned second = first; first != 0 && second <= last; ++second)
          bits[lead][second >> 6] |= std::uint64_t{1} << (second & 63);
      }
    }
  }
  return bits;
}
constexpr PairBits kPairs = MakePairBits();

enum class Script : unsigned char {
  kNone,
  kOdd,
  kMark,
  kLatin,
  kGreek,
  kCyrillic,
  kArmenian,
  kHebrew,
  kArabic
};

struct Kind {
  constexpr Kind(Script s = Script::kNone, int c = 0)
      : script(s), letter_case(static_cast<signed char>(c)) {}
  Script script;
  signed char letter_case;  // 1 a capital, -1 a small letter
};

// Upper and lower case alternate in pairs, from an even code point or an odd one.
constexpr int PairedCase(char32_t c, bool capital_even) {
  return (c % 2 == 0) == capital_even ? 1 : -1;
}

constexpr int LatinExtendedCase(char32_t c) {
  if (c == 0x138 || c == 0x149 || c == 0x17F) return -1;
  if (c == 0x178) return 1;
  return PairedCase(c, !((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)));
}

constexpr int CyrillicCase(char32_t c) {
  if (c < 0x460) return c < 0x430 ? 1 : -1;
  if (c >= 0x482 && c <= 0x489) return 0;
  if (c >= 0x4C0 && c <= 0x4CF) return c == 0x4C0 ? 1 : c == 0x4CF ? -1 : PairedCase(c, false);
  return PairedCase(c, true);
}

constexpr Kind KindOf(char32_t c) {
  if (c < 0x80) {
    if (c >= 'A' && c <= 'Z') return {Script::kLatin, 1};
    if (c >= 'a' && c <= 'z') return {Script::kLatin, -1};
    return {};
  }
  if (c >= 0x800) return {};
  if (c < 0xA0) return {Script::kOdd};
  if (c < 0xC0 || c == 0xD7 || c == 0xF7) return {};  // signs, as ASCII punctuation
  if (c < 0x100) return {Script::kLatin, c < 0xDF ? 1 : -1};
  if (c < 0x180) return {Script::kLatin, LatinExtendedCase(c)};
  // Of Latin Extended-B only the letters of Vietnamese, Pinyin and Romanian.
  if (c < 0x250) {
    const bool usual = c == 0x1A0 || c == 0x1A1 || c == 0x1AF || c == 0x1B0 ||
                       (c >= 0x1CD && c <= 0x1DC) || (c >= 0x218 && c <= 0x21B);
    return {usual ? Script::kLatin : Script::kOdd,
            usual ? PairedCase(c, c <= 0x1A1 || c >= 0x218) : 0};
  }
  if (c < 0x300) return {Script::kOdd};
  if (c < 0x370) return {Script::kMark};
  if (c < 0x400) {
    if (c == 0x386 || (c >= 0x388 && c <= 0x3AB)) return {Script::kGreek, 1};
    return {Script::kGreek, c >= 0x3AC && c <= 0x3CE ? -1 : 0};
  }
  if (c < 0x530) return {Script::kCyrillic, CyrillicCase(c)};
  if (c < 0x590) {
    if (c >= 0x531 && c <= 0x556) return {Script::kArmenian, 1};
    if (c >= 0x560 && c <= 0x588) return {Script::kArmenian, -1};
    return {Script::kOdd};
  }
  if (c < 0x600) {
    if ((c >= 0x5D0 && c <= 0x5EA) || (c >= 0x5EF && c <= 0x5F2)) return {Script::kHebrew};
    return {c >= 0x591 && c <= 0x5C7 ? Script::kMark : Script::kOdd};
  }
  if (c < 0x700) {
    if ((c >= 0x620 && c <= 0x64A) || (c >= 0x671 && c <= 0x6D3) || c == 0x6D5) {
      return {Script::kArabic};
    }
    return {(c >= 0x64B && c <= 0x65F) || c == 0x670 ? Script::kMark : Script::kOdd};
  }
  return {Script::kOdd};
}

constexpr bool IsLetter(Script s) { return s >= Script::kLatin; }

// A two-byte character between its neighbours, as the rule in the header
// judges it.
bool OddAmong(const Kind& before, const Kind& it, const Kind& after) {
  if (it.script == Script::kOdd) return true;
  if (it.script == Script::kMark) return !IsLetter(before.script);
  if (!IsLetter(it.script)) return false;
  if (before.script != it.script && after.script != it.script && after.script != Script::kMark) {
    return true;
  }
  return (before.letter_case < 0 && it.letter_case > 0) ||
         (it.letter_case < 0 && after.letter_case > 0);
}

// Every character of up to two bytes, looked up rather than worked out: a
// log of names in Latin or Cyrillic asks for them on every line.
constexpr std::array<Kind, 0x800> MakeKinds() {
  std::array<Kind, 0x800> kinds{};
  for (char32_t c = 0; c < kinds.size(); ++c) kinds[c] = KindOf(c);
  return kinds;
}
constexpr std::array<Kind, 0x800> kKinds = MakeKinds();

// The character that starts at `at`; three or four bytes, or none that is
// well-formed, are nothing the rule knows.
Kind KindAt(std::string_view text, std::size_t at) {
  if (at >= text.size()) return {};
  const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + at;
  if (p[0] < 0x80) return kKinds[p[0]];
  if (CharacterLength(text.substr(at)) != 2) return {};
  return kKinds[((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu)];
}

// The two-byte character at `at` among its neighbours.
bool OddAt(std::string_view text, std::size_t at) {
  std::size_t before = at;
  while (before > 0 && (static_cast<unsigned char>(text[--before]) & 0xC0) == 0x80) {
  }
  return OddAmong(at > 0 ? KindAt(text, before) : Kind{}, KindAt(text, at), KindAt(text, at + 2));
}

}  // namespace

bool IsValidCp932(std::string_view bytes) {
  while (!bytes.empty()) {
    bytes.remove_prefix(AsciiLength(bytes));
    if (bytes.empty()) break;
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead >= 0xA1 && lead <= 0xDF) {
      bytes.remove_prefix(1);
      continue;
    }
    if (bytes.size() < 2) return false;
    const auto second = static_cast<unsigned char>(bytes[1]);
    if (((kPairs[lead][second >> 6] >> (second & 63)) & 1) == 0) return false;
    bytes.remove_prefix(2);
  }
  return true;
}

Reading ReadingOf(std::string_view bytes) {
  // Two-byte characters are judged as they come, in one pass that also finds
  // the first malformed one.
  bool odd = false, malformed = false;
  std::size_t at = PlainUtf8Length(bytes);
  while (at < bytes.size() && !odd) {
    if (CharacterLength(bytes.substr(at)) != 2) {
      malformed = true;
      break;
    }
    odd = OddAt(bytes, at);
    at += 2;
    at += PlainUtf8Length(bytes.substr(at));
  }
  if (!odd && !malformed) return Reading::kUtf8;
  if (IsValidCp932(bytes)) return Reading::kCp932;
  return !malformed && IsValidUtf8(bytes.substr(at)) ? Reading::kUtf8 : Reading::kUtf8WithStrays;
}

}  // namespace tallyrun
