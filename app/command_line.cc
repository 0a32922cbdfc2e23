#include "app/command_line.h"

#include "core/log_record.h"

namespace tallyrun {
namespace {

std::string FullPath(const std::string& item, const std::string& current_directory) {
  if (item.empty() || item.front() == kPathSeparator || current_directory.empty()) return item;
  std::string full = current_directory;
  if (full.back() != kPathSeparator) full.push_back(kPathSeparator);
  full.append(item);
  return full;
}

}  // namespace

CommandLineOutcome RecordItems(Env& env, const std::string& log_file_path,
                               const std::vector<std::string>& items,
                               const std::string& current_directory) {
  CommandLineOutcome outcome;
  std::string batch;
  for (const std::string& item : items) {
    if (!FitsOnOneLogLine(item)) {
      outcome.refused.push_back(item);
      continue;
    }
    std::string path = FullPath(item, current_directory);
    AppendBareLine(batch, MakeLogLine(path, env));
  }
  if (!batch.empty()) outcome.written = env.AppendLines(log_file_path, batch);
  return outcome;
}

}  // namespace tallyrun
