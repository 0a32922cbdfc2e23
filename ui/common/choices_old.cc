#include "ui/decide/choices.h"

#include "core/ascii.h"
#include "core/build_facts.h"
#include "core/log_reader.h"
#include "core/utf8.h"

namespace tallyrun::ui {
namespace {

bool EndsWithName(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  const std::string_view end = text.substr(text.size() - tail.size());
  return kNamesIgnoreCase ? EqualsIgnoringAsciiCase(end, tail) : end == tail;
}

}  // namespace

bool AdoptsChoice(std::string_view strFileName, std::string_view shown) {
  return !strFileName.empty() && strFileName != shown;
}

bool IsFolderPath(std::string_view path) { return !path.empty() && path.back() == kPathSeparator; }

std::optional<EntryTarget> TargetOf(std::string_view entry) {
  std::string path = StraysRestored(EntryPath(entry));
  if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
  const bool folder = IsFolderPath(path);
  return EntryTarget{std::move(path), folder};
}

bool MatchesLogFilePattern(std::string_view name) {
  return EndsWithName(name, ".txt") || EndsWithName(name, ".log");
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
