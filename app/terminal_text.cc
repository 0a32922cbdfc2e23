#include "app/terminal_text.h"

namespace tallyrun {
namespace {

void AppendHex(std::string& out, unsigned char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out.append("\\x");
  out.push_back(kDigits[c >> 4]);
  out.push_back(kDigits[c & 15]);
}

}  // namespace

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\t') {
      out.append("\\t");
    } else if (c == '\r') {
      out.append("\\r");
    } else if (c == '\n') {
      out.append("\\n");
    } else if (c < 0x20 || c == 0x7F) {
      AppendHex(out, c);
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      AppendHex(out, c);
      AppendHex(out, static_cast<unsigned char>(text[++i]));
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

}  // namespace tallyrun
