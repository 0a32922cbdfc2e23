#include "app/command_line.h"

#include <optional>

#include "core/date_time_text.h"
#include "core/log_record.h"
#include "core/paths.h"

namespace tallyrun {
namespace {

// Room for the whole batch at once, as it will be written: it may be
// thousands of lines, and growing it step by step would copy it again and
// again. Only relative items take the current folder's length.
std::size_t BatchSize(const std::vector<std::string_view>& items,
                      const std::string& current_directory) {
  constexpr std::size_t kPerLine = 2 * kLongestDateTimeText + 5;  // TABs, CR LF, a folder's "/"
  std::size_t size = 0;
  for (const std::string_view item : items) {
    size += item.size() + kPerLine + (IsFullPath(item) ? 0 : current_directory.size() + 1);
  }
  return size;
}

}  // namespace

CommandLineOutcome RecordItems(Env& env, const std::string& log_file_path,
                               const std::vector<std::string_view>& items,
                               const std::string& current_directory) {
  CommandLineOutcome outcome;
  std::string batch, path, lookup;  // reused from item to item
  batch.reserve(BatchSize(items, current_directory));
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
    lookup.assign(LookupPath(path, current_directory));
    const std::optional<ItemFacts> facts = env.FactsOf(lookup);
    if (!facts) outcome.missing.push_back(item);
    AppendBareLine(batch, MakeLogLine(path, env, facts, env.Now()));
  }
  if (!batch.empty()) outcome.written = env.AppendLines(log_file_path, batch);
  return outcome;
}

}  // namespace tallyrun
