#include "core/utf16.h"

namespace tallyrun {
namespace {

unsigned UnitAt(std::string_view bytes, std::size_t i, ByteOrder order) {
  const auto first = static_cast<unsigned char>(bytes[i]);
  const auto second = static_cast<unsigned char>(bytes[i + 1]);
  return order == ByteOrder::kLittleEndian ? first | (second << 8) : (first << 8) | second;
}

void PutUnit(std::string& out, unsigned unit, ByteOrder order) {
  const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
  if (order == ByteOrder::kLittleEndian) {
    out.push_back(low);
    out.push_back(high);
  } else {
    out.push_back(high);
    out.push_back(low);
  }
}

void PutUtf8(std::string& out, unsigned c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
    return;
  }
  const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out.push_back(static_cast<char>(kLead[extra] | (c >> (6 * extra))));
  for (int k = extra - 1; k >= 0; --k)
    out.push_back(static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F)));
}

// The code point at the start of `text` and its length; surrogates in their
// three-byte form are accepted, other malformed bytes give U+FFFD and 1.
unsigned NextCodePoint(std::string_view text, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(text[0]);
  length = lead < 0x80                   ? 1
           : lead >= 0xC2 && lead < 0xE0 ? 2
           : lead >= 0xE0 && lead < 0xF0 ? 3
           : lead >= 0xF0 && lead < 0xF5 ? 4
                                         : 0;
  if (length == 1) return lead;
  if (length == 0 || text.size() < length) return length = 1, 0xFFFD;
  unsigned c = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return length = 1, 0xFFFD;
    c = (c << 6) | (next & 0x3F);
  }
  const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < least[length] || c > 0x10FFFF) return length = 1, 0xFFFD;
  return c;
}

}  // namespace

std::optional<ByteOrder> Utf16MarkOf(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return ByteOrder::kLittleEndian;
  if (bytes.starts_with("\xFE\xFF")) return ByteOrder::kBigEndian;
  return std::nullopt;
}

std::string Utf16ToUtf8(std::string_view bytes, ByteOrder order) {
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    unsigned c = UnitAt(bytes, i, order);
    if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size()) {
      const unsigned low = UnitAt(bytes, i + 2, order);
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    PutUtf8(out, c);
  }
  return out;
}

std::string Utf8ToUtf16(std::string_view text, ByteOrder order) {
  std::string out;
  out.reserve(text.size() * 2);
  while (!text.empty()) {
    std::size_t length;
    const unsigned c = NextCodePoint(text, length);
    text.remove_prefix(length);
    if (c < 0x10000) {
      PutUnit(out, c, order);
    } else {
      PutUnit(out, 0xD800 + ((c - 0x10000) >> 10), order);
      PutUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF), order);
    }
  }
  return out;
}

}  // namespace tallyrun
