// The raw argument-text splitter against any text: items are pieces of the
// text, a text without quotes splits exactly at its blanks, and items
// joined back with quotes where needed split into the same items.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/argument_text.h"

namespace {

using tallyrun::SplitArgumentText;

// Blanks separate, and a final blank adds nothing.
std::vector<std::string> SplitAtBlanks(std::string_view text) {
  std::vector<std::string> items;
  for (std::size_t from = 0, blank; from < text.size(); from = blank + 1) {
    blank = std::min(text.find(' ', from), text.size());
    items.emplace_back(text.substr(from, blank - from));
  }
  return items;
}

// How a caller would quote items into one text again.
std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) {
    if (&item != &items.front()) text.push_back(' ');
    const bool quoted = item.empty() || item.find(' ') != std::string::npos;
    text.append(quoted ? "\"" + item + "\"" : item);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> items = SplitArgumentText(text);

  std::size_t total = 0;
  for (const std::string& item : items) {
    if (text.find(item) == std::string_view::npos) std::abort();
    total += item.size();
  }
  if (total > text.size()) std::abort();
  if (text.find('"') == std::string_view::npos && items != SplitAtBlanks(text)) std::abort();

  bool quotable = true;
  for (const std::string& item : items) quotable = quotable && item.find('"') == std::string::npos;
  if (quotable && SplitArgumentText(Join(items)) != items) std::abort();
  return 0;
}
