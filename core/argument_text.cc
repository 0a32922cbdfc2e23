#include "core/argument_text.h"

namespace tallyrun {

std::vector<std::string> SplitArgumentText(std::string_view rest) {
  std::vector<std::string> items;
  while (!rest.empty()) {
    if (rest.front() == '"') {
      rest.remove_prefix(1);
      const std::size_t closing = rest.find('"');
      if (closing == std::string_view::npos) {
        items.emplace_back(rest);
        break;
      }
      items.emplace_back(rest.substr(0, closing));
      rest.remove_prefix(closing + 1);
      if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
      continue;
    }
    const std::size_t blank = rest.find(' ');
    if (blank == std::string_view::npos) {
      items.emplace_back(rest);
      break;
    }
    items.emplace_back(rest.substr(0, blank));
    rest.remove_prefix(blank + 1);
  }
  return items;
}

}  // namespace tallyrun
