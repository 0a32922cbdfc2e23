#include "core/log_record.h"

#include "core/date_time_text.h"

namespace tallyrun {
namespace {

void EnsureTrailingSeparator(std::string& path) {
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
}

}  // namespace

std::string MakeLogLine(std::string& path, Env& env) {
  const std::optional<ItemStatus> status = env.StatusOf(path);
  return MakeLogLine(env, path, status, env.Now());
}

std::string MakeLogLine(Env& env, std::string& path, const std::optional<ItemStatus>& status,
                        const LocalTime& now) {
  if (!status || status->attributes == kAttributeFolder) EnsureTrailingSeparator(path);
  constexpr std::size_t kLongestMoment = 24;
  std::string record;
  record.reserve(path.size() + 2 * kLongestMoment + 2);
  env.AppendMomentText(record, now);
  record.push_back('\t');
  record.append(path);
  record.push_back('\t');
  if (status) env.AppendMomentText(record, status->modified);
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
