#include "core/visible_text.h"

#include "core/byte_search.h"
#include "core/utf8.h"

namespace tallyrun {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendByteEscape(std::string& out, unsigned byte) {
  out.append("\\x");
  out.push_back(kHexDigits[(byte >> 4) & 15]);
  out.push_back(kHexDigits[byte & 15]);
}

unsigned CodePoint(std::string_view character) {
  const auto lead = static_cast<unsigned char>(character[0]);
  unsigned value = lead & (character.size() == 2 ? 0x1Fu : character.size() == 3 ? 0x0Fu : 0x07u);
  for (std::size_t i = 1; i < character.size(); ++i) {
    value = (value << 6) | (static_cast<unsigned char>(character[i]) & 0x3Fu);
  }
  return value;
}

bool IsHiddenControl(unsigned c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void AppendControl(std::string& out, unsigned char c, ControlStyle style) {
  if (style == ControlStyle::kPictures) {
    const unsigned picture = c == 0x7F ? 0x2421 : 0x2400 + c;
    out.push_back(static_cast<char>(0xE0 | (picture >> 12)));
    out.push_back(static_cast<char>(0x80 | ((picture >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (picture & 0x3F)));
  } else if (c == '\t') {
    out.append("\\t");
  } else if (c == '\r') {
    out.append("\\r");
  } else if (c == '\n') {
    out.append("\\n");
  } else {
    AppendByteEscape(out, c);
  }
}

// The character at the start of `text`, shown; returns the bytes it took.
std::size_t AppendNonAscii(std::string& out, std::string_view text) {
  if (const int stray = CarriedStrayAt(text); stray >= 0) {
    AppendByteEscape(out, static_cast<unsigned>(stray));
    return 3;
  }
  const auto length = static_cast<std::size_t>(CharacterLength(text));
  if (length == 0) {
    AppendByteEscape(out, static_cast<unsigned char>(text.front()));
    return 1;
  }
  const unsigned c = CodePoint(text.substr(0, length));
  if (!IsHiddenControl(c)) {
    out.append(text.substr(0, length));
    return length;
  }
  out.append("\\u");
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHexDigits[(c >> shift) & 15]);
  return length;
}

}  // namespace

std::string VisibleText(std::string_view text, ControlStyle style) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      i += AppendNonAscii(out, text.substr(i));
      continue;
    }
    if (c < 0x20 || c == 0x7F) {
      AppendControl(out, c, style);
    } else {
      out.push_back(static_cast<char>(c));
    }
    ++i;
  }
  return out;
}

bool HoldsHiddenControl(std::string_view text) {
  // Each starts with one of three bytes, which most text holds few of.
  for (const char lead : {'\xC2', '\xD8', '\xE2'}) {
    for (std::size_t i = FindByte(text, lead); i != std::string_view::npos;
         i = FindByte(text, lead, i + 1)) {
      const int length = CharacterLength(text.substr(i));
      if (length > 0 &&
          IsHiddenControl(CodePoint(text.substr(i, static_cast<std::size_t>(length))))) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace tallyrun
