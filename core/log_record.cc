#include "core/log_record.h"

#include "core/date_time_text.h"
#include "core/text_reading.h"

namespace tallyrun {
namespace {

void EnsureTrailingSeparator(std::string& path) {
  if (path.empty() || path.back() != kPathSeparator) path.push_back(kPathSeparator);
}

// A record the reader would take for CP932 (text_reading.h) is marked as
// UTF-8, so that every record reads back as it was written.
void MarkIfMistakable(std::string& batch, std::string_view record) {
  if (ReadingOf(record) == Reading::kCp932) batch.append(kUtf8Mark);
}

}  // namespace

std::string MakeLogLine(std::string& path, Env& env) {
  const std::optional<ItemFacts> facts = env.FactsOf(path);
  return MakeLogLine(path, env, facts, env.Now());
}

std::string MakeLogLine(std::string& path, Env& env, const std::optional<ItemFacts>& facts,
                        const LocalTime& now) {
  if (!facts || facts->attributes == kAttributeFolder) EnsureTrailingSeparator(path);
  std::string record;
  record.reserve(path.size() + 2 * kLongestDateTimeText + 2);
  env.AppendMomentText(record, now);
  record.push_back('\t');
  record.append(path);
  record.push_back('\t');
  // A moment no date can show leaves the field empty; the item is still there.
  if (facts && IsExpressible(facts->modified)) env.AppendMomentText(record, facts->modified);
  return record;
}

void AppendBareLine(std::string& batch, std::string_view record) {
  MarkIfMistakable(batch, record);
  batch.append(record);
  batch.append("\r\n");
}

void AppendQuotedLine(std::string& batch, std::string_view record) {
  MarkIfMistakable(batch, record);
  batch.push_back('"');
  batch.append(record);
  batch.append("\"\r\n");
}

bool FitsOnOneLogLine(std::string_view path) {
  return path.find_first_of("\t\r\n") == std::string_view::npos;
}

}  // namespace tallyrun
