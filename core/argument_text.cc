#include "core/argument_text.h"

namespace tallyrun {
namespace {

// The item is the text before `end` (all of it when there is no `end`); the
// rest goes on after the character at `end`.
void TakeItem(std::string_view& rest, std::size_t end, std::vector<std::string>& items) {
  items.emplace_back(rest.substr(0, end));
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
}

}  // namespace

std::vector<std::string> SplitArgumentText(std::string_view rest) {
  std::vector<std::string> items;
  while (!rest.empty()) {
    if (rest.front() != '"') {
      TakeItem(rest, rest.find(' '), items);
      continue;
    }
    rest.remove_prefix(1);
    const std::size_t closing = rest.find('"');
    TakeItem(rest, closing, items);
    if (closing != std::string_view::npos && !rest.empty() && rest.front() == ' ') {
      rest.remove_prefix(1);
    }
  }
  return items;
}

}  // namespace tallyrun
