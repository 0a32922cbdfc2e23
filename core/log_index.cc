#include "core/log_index.h"

#include "core/byte_search.h"
#include "core/log_reader.h"

namespace tallyrun {

void Places::Add(std::uint64_t place) {
  if (size_ % kPerBlock == 0)
    blocks_.push_back(std::make_unique_for_overwrite<std::uint64_t[]>(kPerBlock));
  blocks_.back()[size_ % kPerBlock] = place;
  ++size_;
}

void Places::Clear() {
  blocks_.clear();
  size_ = 0;
}

bool IsRecordLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view field = line;
  // A quoted line is the text between its first and its last double quote.
  if (!field.empty() && field.front() == '"') {
    const std::size_t closing = field.rfind('"');
    field = closing == 0 ? field.substr(1) : field.substr(1, closing - 1);
  }
  const std::size_t first_tab = FindByte(field, '\t');
  // The list finds a path after the first separator, so a moment holding one
  // would show a wrong path.
  if (first_tab == std::string_view::npos ||
      FindByte(field.substr(0, first_tab), kEntrySeparator) != std::string_view::npos) {
    return false;
  }
  return FindByte(field, '\t', first_tab + 1) != std::string_view::npos;
}

void LogScanner::TakeLine(std::string_view line, std::uint64_t at) {
  if (IsRecordLine(line)) out_.Add(at);
}

void LogScanner::Feed(std::string_view piece, std::uint64_t at) {
  if (at != next_) {
    partial_.clear();
    skipping_ = partial_taken_ = false;
  }
  next_ = at + piece.size();
  if (skipping_ || !partial_.empty()) {
    const std::size_t nl = FindByte(piece, '\n');
    const std::size_t n = nl == std::string_view::npos ? piece.size() : nl;
    if (!skipping_ && partial_.size() + n > kLongestLogLine) {
      skipping_ = true;
      partial_.clear();
      partial_.shrink_to_fit();
    }
    if (!skipping_) partial_.append(piece.substr(0, n));
    if (nl == std::string_view::npos) return;
    if (!skipping_ && !partial_taken_) TakeLine(partial_, partial_at_);
    skipping_ = partial_taken_ = false;
    partial_.clear();
    piece.remove_prefix(n + 1);
    at += n + 1;
  }
  std::size_t start = 0;
  for (std::size_t nl = FindByte(piece, '\n'); nl != std::string_view::npos;
       nl = FindByte(piece, '\n', start)) {
    if (nl - start <= kLongestLogLine) TakeLine(piece.substr(start, nl - start), at + start);
    start = nl + 1;
  }
  if (piece.size() - start > kLongestLogLine) {
    skipping_ = true;
  } else if (start < piece.size()) {
    partial_.assign(piece.substr(start));
    partial_at_ = at + start;
  }
}

void LogScanner::Finish() {
  if (skipping_ || partial_taken_ || partial_.empty()) return;
  const std::size_t before = out_.size();
  TakeLine(partial_, partial_at_);
  partial_taken_ = out_.size() > before;
}

}  // namespace tallyrun
