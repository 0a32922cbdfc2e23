#include "ui/decide/choices.h"

#include "core/build_facts.h"

namespace tallyrun::ui {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  text.remove_prefix(text.size() - tail.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    if (Lower(text[i]) != tail[i]) return false;
  }
  return true;
}

}  // namespace

bool AdoptsChoice(std::string_view strFileName, std::string_view shown) {
  return !strFileName.empty() && strFileName != shown;
}

std::string_view EntryPath(std::string_view entry) {
  const std::size_t bar = entry.find('|');
  return bar == std::string_view::npos ? entry : entry.substr(bar + 1);
}

bool IsFolderPath(std::string_view path) { return !path.empty() && path.back() == kPathSeparator; }

std::string JoinFolderAndName(std::string_view folder, std::string_view name) {
  std::string full(folder);
  if (!IsFolderPath(full)) full.push_back(kPathSeparator);
  full.append(name);
  return full;
}

bool MatchesLogFilePattern(std::string_view name) {
  return EndsWithNoCase(name, ".txt") || EndsWithNoCase(name, ".log");
}

std::string DriveRoot(std::string_view entry) {
  std::string root(entry.substr(0, 2));
  root.push_back(kPathSeparator);
  return root;
}

DriveRecovery::Next DriveRecovery::Changed(const std::string& entry, bool entered) {
  if (entered) {
    PreviousDrive_ = entry;
    returning_ = false;
    return Next::kStay;
  }
  if (returning_) {
    returning_ = false;
    return Next::kGiveUp;
  }
  returning_ = true;
  return Next::kTellAndReturn;
}

}  // namespace tallyrun::ui
