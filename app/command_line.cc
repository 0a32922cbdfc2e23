#include "app/command_line.h"

#include <optional>

#include "core/log_record.h"

namespace tallyrun {
namespace {

bool IsFullPath(std::string_view item) {
  if (!item.empty() && item.front() == kPathSeparator) return true;
  return kDriveLetterPaths && item.size() >= 2 && item[1] == ':';
}

void SetFullPath(std::string& full, std::string_view item, const std::string& current_directory) {
  full.clear();
  if (!item.empty() && !IsFullPath(item) && !current_directory.empty()) {
    full.append(current_directory);
    if (full.back() != kPathSeparator) full.push_back(kPathSeparator);
  }
  full.append(item);
}

}  // namespace

CommandLineOutcome RecordItems(Env& env, const std::string& log_file_path,
                               const std::vector<std::string_view>& items,
                               const std::string& current_directory) {
  CommandLineOutcome outcome;
  std::string batch;
  // Room for the whole batch at once: it may be thousands of lines.
  constexpr std::size_t kMomentsAndSeparators = 2 * 19 + 5;  // and CR LF, and a folder's "/"
  std::size_t room = 0;
  for (const std::string_view item : items) {
    room += current_directory.size() + item.size() + kMomentsAndSeparators;
  }
  batch.reserve(room);
  std::string named, path;  // reused from item to item
  for (const std::string_view item : items) {
    if (!FitsOnOneLogLine(item)) {
      outcome.refused.emplace_back(item);
      continue;
    }
    // Looked up as named: the same item as its full path, without walking
    // every folder above the current one again for each item.
    named.assign(item);
    const std::optional<ItemStatus> status = env.StatusOf(named);
    if (!status) outcome.missing.push_back(item);
    SetFullPath(path, item, current_directory);
    AppendBareLine(batch, MakeLogLine(env, path, status, env.Now()));
  }
  if (!batch.empty()) outcome.written = env.AppendLines(log_file_path, batch);
  return outcome;
}

}  // namespace tallyrun
