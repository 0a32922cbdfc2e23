#include "core/utf8.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace tallyrun {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

std::uint64_t HighBitsOfWord(const unsigned char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word & kHighBits;
}

// How many bytes at the start of a word come before its first non-ASCII byte.
int AsciiPrefixLength(std::uint64_t high_bits) {
  if constexpr (std::endian::native == std::endian::little) {
    return std::countr_zero(high_bits) / 8;
  } else {
    return std::countl_zero(high_bits) / 8;
  }
}

// Logs are mostly ASCII: skip it sixteen bytes at a time, then straight to
// the first byte that is not.
const unsigned char* SkipAscii(const unsigned char* p, const unsigned char* end) {
  while (end - p >= 16) {
    const std::uint64_t first = HighBitsOfWord(p);
    const std::uint64_t second = HighBitsOfWord(p + 8);
    if ((first | second) != 0) {
      return first != 0 ? p + AsciiPrefixLength(first) : p + 8 + AsciiPrefixLength(second);
    }
    p += 16;
  }
  while (p < end && *p < 0x80) ++p;
  return p;
}

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// No overlong forms, no surrogates, nothing above U+10FFFF.
inline int LengthAt(const unsigned char* p, const unsigned char* end) {
  const unsigned char c = p[0];
  const std::ptrdiff_t left = end - p;
  // Most of Japanese text: three bytes with no special second-byte range.
  if ((c & 0xF0) == 0xE0 && c != 0xE0 && c != 0xED) {
    return left >= 3 && IsContinuation(p[1]) && IsContinuation(p[2]) ? 3 : 0;
  }
  if (c >= 0xC2 && c <= 0xDF) return left >= 2 && IsContinuation(p[1]) ? 2 : 0;
  if (c == 0xE0 || c == 0xED) {
    const unsigned char low = c == 0xE0 ? 0xA0 : 0x80;
    const unsigned char high = c == 0xED ? 0x9F : 0xBF;
    return left >= 3 && p[1] >= low && p[1] <= high && IsContinuation(p[2]) ? 3 : 0;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    const unsigned char low = c == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = c == 0xF4 ? 0x8F : 0xBF;
    return left >= 4 && p[1] >= low && p[1] <= high && IsContinuation(p[2]) && IsContinuation(p[3])
               ? 4
               : 0;
  }
  return 0;
}

// Up to the first malformed character, or the first of `kStopLength` bytes.
template <int kStopLength>
std::size_t WellFormedLength(std::string_view text) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const end = begin + text.size();
  const unsigned char* p = begin;
  for (;;) {
    p = SkipAscii(p, end);
    if (p == end) return text.size();
    // Non-ASCII characters come in runs: a word or a name.
    do {
      const int length = LengthAt(p, end);
      if (length == 0 || length == kStopLength) return static_cast<std::size_t>(p - begin);
      p += length;
    } while (p < end && *p >= 0x80);
  }
}

}  // namespace

std::size_t PlainUtf8Length(std::string_view text) { return WellFormedLength<2>(text); }

bool IsValidUtf8(std::string_view text) { return WellFormedLength<0>(text) == text.size(); }

std::size_t AsciiLength(std::string_view text) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  return static_cast<std::size_t>(SkipAscii(begin, begin + text.size()) - begin);
}

int CharacterLength(std::string_view text) {
  if (text.empty() || static_cast<unsigned char>(text.front()) < 0x80) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  return LengthAt(p, p + text.size());
}

std::string WithStraysCarried(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + 8);
  while (!bytes.empty()) {
    const auto c = static_cast<unsigned char>(bytes.front());
    const std::size_t length = c < 0x80 ? 1 : static_cast<std::size_t>(CharacterLength(bytes));
    if (length > 0) {
      out.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
      continue;
    }
    const unsigned carried = 0xDC00u + c;
    out.push_back(static_cast<char>(0xED));
    out.push_back(static_cast<char>(0x80 | ((carried >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (carried & 0x3F)));
    bytes.remove_prefix(1);
  }
  return out;
}

int CarriedStrayAt(std::string_view text) {
  if (text.size() < 3 || static_cast<unsigned char>(text[0]) != 0xED) return -1;
  const auto second = static_cast<unsigned char>(text[1]);
  const auto third = static_cast<unsigned char>(text[2]);
  if ((second != 0xB2 && second != 0xB3) || (third & 0xC0) != 0x80) return -1;
  return static_cast<int>((((second & 0x3Fu) << 6) | (third & 0x3Fu)) - 0xC00u);
}

std::string StraysRestored(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int stray = CarriedStrayAt(text.substr(i));
    if (stray < 0) {
      out.push_back(text[i]);
      continue;
    }
    out.push_back(static_cast<char>(stray));
    i += 2;
  }
  return out;
}

}  // namespace tallyrun
