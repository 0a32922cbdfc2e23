#include "ui/main/finding.h"

#include <algorithm>

#include "core/ascii.h"
#include "core/utf8.h"

namespace tallyrun::ui {
namespace {

char32_t Lower(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F) || (c >= 0xFF21 && c <= 0xFF3A)) {
    return c + 32;
  }
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c == 0x178) return 0xFF;
  // Latin Extended-A pairs an upper-case letter with the lower-case one after it.
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    const bool odd_pairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return (c % 2 == 1) == odd_pairs ? c + 1 : c;
  }
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
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

char32_t Decode(std::string_view text, int n) {
  const auto b = [text](int i) {
    return static_cast<char32_t>(static_cast<unsigned char>(text[i]));
  };
  if (n == 2) return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
  if (n == 3) return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
}

// Letters beyond ASCII that some other letter folds to.
bool OthersFoldTo(char32_t c) {
  static const std::vector<bool> folded_to = [] {
    std::vector<bool> images(0x10000);
    for (char32_t letter = 0x80; letter < images.size(); ++letter) {
      if (Lower(letter) != letter) images[Lower(letter)] = true;
    }
    return images;
  }();
  return c < folded_to.size() && folded_to[c];
}

}  // namespace

void FoldCase(std::string_view text, std::string& out) {
  out.clear();
  while (!text.empty()) {
    const int n = static_cast<unsigned char>(text[0]) < 0x80 ? 1 : CharacterLength(text);
    if (n <= 1) {
      // ASCII, or a byte of no character, which stays as it is.
      const auto byte = static_cast<unsigned char>(text[0]);
      out.push_back(byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 32) : text[0]);
      text.remove_prefix(1);
      continue;
    }
    AppendUtf8(out, Lower(Decode(text, n)));
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

Finder::Finder(const Search& search)
    : match_case_(search.match_case),
      ascii_(std::all_of(search.text.begin(), search.text.end(),
                         [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
  if (match_case_) {
    text_ = search.text;
  } else {
    FoldCase(search.text, text_);
  }
}

bool Finder::In(std::string_view shown) const {
  if (match_case_) return shown.find(text_) != std::string_view::npos;
  // Folding touches only ASCII when the text has nothing else to match.
  if (ascii_) {
    LowerAscii(shown, folded_);
  } else {
    FoldCase(shown, folded_);
  }
  return folded_.find(text_) != std::string::npos;
}

std::vector<std::string_view> Finder::Pieces(bool (*breaks)(char32_t)) const {
  std::vector<std::string_view> pieces;
  const std::string_view text = text_;
  std::size_t start = 0;
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const int n = byte < 0x80 ? 1 : CharacterLength(text.substr(at));
    const char32_t c = n == 0 ? 0 : n == 1 ? byte : Decode(text.substr(at), n);
    const std::size_t length = n == 0 ? 1 : static_cast<std::size_t>(n);
    if (n == 0 || breaks(c) || (!match_case_ && c >= 0x80 && OthersFoldTo(c))) {
      if (at > start) pieces.push_back(text.substr(start, at - start));
      start = at + length;
    }
    at += length;
  }
  if (text.size() > start) pieces.push_back(text.substr(start));
  return pieces;
}

}  // namespace tallyrun::ui
