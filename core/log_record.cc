#include "core/log_record.h"

#include <optional>

#include "core/date_time_text.h"

namespace tallyrun {
namespace {

void EnsureTrailingSeparator(std::string& path) {
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
}

}  // namespace

std::string MakeLogLine(std::string& path, Env& env) {
  const std::optional<ItemStatus> status = env.StatusOf(path);
  std::string modified;
  if (status) {
    modified = DateTimeText(status->modified);
    if (status->attributes == kAttributeFolder) EnsureTrailingSeparator(path);
  } else {
    EnsureTrailingSeparator(path);
  }
  std::string record = DateTimeText(env.Now());
  record.reserve(record.size() + path.size() + modified.size() + 2);
  record.push_back('\t');
  record.append(path);
  record.push_back('\t');
  record.append(modified);
  return record;
}

void AppendBareLine(std::string& batch, std::string_view record) {
  batch.append(record);
  batch.append("\r\n");
}

void AppendQuotedLine(std::string& batch, std::string_view record) {
  batch.push_back('"');
  batch.append(record);
  batch.append("\"\r\n");
}

bool FitsOnOneLogLine(std::string_view path) {
  return path.find_first_of("\t\r\n") == std::string_view::npos;
}

std::string ListEntry(std::string_view moment, std::string_view path) {
  std::string entry;
  entry.reserve(moment.size() + 1 + path.size());
  entry.append(moment);
  entry.push_back('|');
  entry.append(path);
  return entry;
}

}  // namespace tallyrun
