#include "app/command_line.h"

#include <optional>

#include "core/log_record.h"
#include "core/paths.h"

namespace tallyrun {
namespace {

// Looked up below the current folder when it lies there: the same item,
// without the system walking every folder above it again for each item (a
// deep current folder can even be longer than a path the system accepts).
std::string_view LookupPath(std::string_view full, std::string_view current_directory) {
  if (full.size() > current_directory.size() + 1 && full.starts_with(current_directory)) {
    const std::string_view rest = full.substr(current_directory.size());
    if (rest.front() == kPathSeparator) return rest.substr(1);
    if (current_directory.back() == kPathSeparator) return rest;
  }
  return full;
}

}  // namespace

CommandLineOutcome RecordItems(Env& env, const std::string& log_file_path,
                               const std::vector<std::string_view>& items,
                               const std::string& current_directory) {
  CommandLineOutcome outcome;
  std::string batch, path;
  for (const std::string_view item : items) {
    if (!FitsOnOneLogLine(item)) {
      outcome.refused.emplace_back(item);
      continue;
    }
    // An empty item is kept as it stands: the record of an unreadable item.
    const bool relative = !item.empty() && !IsFullPath(item);
    if (relative && current_directory.empty()) {
      outcome.unplaced.emplace_back(item);
      continue;
    }
    path = item.empty() ? std::string() : FullPath(item, current_directory);
    const std::optional<ItemFacts> facts =
        env.FactsOf(std::string(LookupPath(path, current_directory)));
    AppendBareLine(batch, MakeLogLine(path, facts, env.Now()));
  }
  if (!batch.empty()) outcome.written = env.AppendLines(log_file_path, batch);
  return outcome;
}

}  // namespace tallyrun
