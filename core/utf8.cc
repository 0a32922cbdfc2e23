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

// The length of the well-formed character at `p` (not ASCII), or 0 when there
// is none: no overlong forms, no surrogates, nothing above U+10FFFF.
int CharacterLength(const unsigned char* p, const unsigned char* end) {
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

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::string Utf8FromUtf16WithMark(std::string_view bytes) {
  const bool little = bytes.starts_with("\xFF\xFE");
  if (!little && !bytes.starts_with("\xFE\xFF")) return std::string(bytes);
  auto unit = [&](std::size_t i) -> std::uint32_t {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    return little ? first | (second << 8) : (first << 8) | second;
  };
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    std::uint32_t c = unit(i);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const end = p + text.size();
  for (;;) {
    p = SkipAscii(p, end);
    if (p == end) return true;
    // Non-ASCII characters come in runs: a word or a name.
    do {
      const int length = CharacterLength(p, end);
      if (length == 0) return false;
      p += length;
    } while (p < end && *p >= 0x80);
  }
}

}  // namespace tallyrun
