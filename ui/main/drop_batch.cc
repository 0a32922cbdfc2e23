#include "ui/main/drop_batch.h"

#include "core/date_time_text.h"
#include "core/log_reader.h"
#include "core/log_record.h"
#include "core/paths.h"
#include "core/visible_text.h"

namespace tallyrun::ui {
namespace {

constexpr std::size_t kNamesShownAtMost = 10;

// A name the toolkit could not decode reaches us with U+FFFD in it; unless
// something of that very name exists, recording it would log a wrong path.
bool LostOnTheWay(const std::string& path, Env& env) {
  return path.find("\xEF\xBF\xBD") != std::string::npos && !env.FactsOf(path);
}

}  // namespace

void DropBatch::Take(std::string& path, bool exact) {
  if (!exact || !FitsOnOneLogLine(path) || LostOnTheWay(path, env_)) {
    refused_.push_back(path);
    return;
  }
  lookup_.assign(LookupPath(path, current_directory_));
  const std::optional<ItemFacts> facts = env_.FactsOf(lookup_);
  // One look at the clock for the line and the list's entry, which must agree
  // also when the drop takes more than a second.
  const LocalTime now = env_.Now();
  AppendQuotedLine(batch_, MakeLogLine(path, env_, facts, now));
  if (!moment_of_ || *moment_of_ != now) {
    moment_.clear();
    env_.AppendMomentText(moment_, now);
    moment_of_ = now;
  }
  added_.push_back(moment_ + kEntrySeparator + path);
}

Status DropBatch::Write(const std::string& log_file, Landed* landed) {
  if (batch_.empty()) return Status::Ok();
  Status written = env_.AppendLines(log_file, batch_, landed);
  if (!written.ok()) added_.clear();
  return written;
}

std::string RefusalText(const std::vector<std::string>& refused) {
  std::string text =
      "次の項目は名前にタブや改行、または扱えない文字を含むため、記録しませんでした。";
  for (std::size_t i = 0; i < refused.size() && i < kNamesShownAtMost; ++i) {
    text.push_back('\n');
    text += VisibleText(refused[i], ControlStyle::kPictures);
  }
  if (refused.size() > kNamesShownAtMost) {
    text += "\nほか ";
    text += std::to_string(refused.size() - kNamesShownAtMost);
    text += " 件";
  }
  return text;
}

std::string WriteFailureText(const std::string& log_file, const Status& written) {
  return "ログファイル「" + VisibleText(log_file, ControlStyle::kPictures) +
         "」に書き込めません。\n理由：" + written.reason();
}

std::string ReadFailureText(const std::string& log_file, const Status& read) {
  return "ログファイル「" + VisibleText(log_file, ControlStyle::kPictures) +
         "」を読めません。\n理由：" + read.reason();
}

}  // namespace tallyrun::ui
