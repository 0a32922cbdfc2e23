#include "ui/decide/choices.h"

#include "core/ascii.h"
#include "core/build_facts.h"

namespace tallyrun::ui {
namespace {

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() &&
         EqualsIgnoringAsciiCase(text.substr(text.size() - tail.size()), tail);
}

}  // namespace

bool AdoptsChoice(std::string_view strFileName, std::string_view shown) {
  return !strFileName.empty() && strFileName != shown;
}

bool IsFolderPath(std::string_view path) { return !path.empty() && path.back() == kPathSeparator; }

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
