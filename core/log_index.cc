#include "core/log_index.h"

#include <algorithm>
#include <optional>

#include "core/byte_blocks.h"
#include "core/byte_search.h"
#include "core/log_reader.h"
#include "core/text_reading.h"

namespace tallyrun {

void RecordPlaces::Clear() {
  runs_.clear();
  size_ = 0;
  run_open_ = false;
}

void RecordPlaces::StartRun(std::uint64_t at, bool in_file) {
  runs_.push_back({size_, at, 1, in_file});
  run_open_ = in_file;
  ++size_;
}

// Tokens that follow one another share a run too.
void RecordPlaces::AddToken(std::uint64_t token) {
  if (!runs_.empty() && !runs_.back().in_file && runs_.back().at + runs_.back().count == token) {
    ++runs_.back().count;
    ++size_;
  } else {
    StartRun(token, false);
  }
}

std::vector<RecordPlaces::Run>::const_iterator RecordPlaces::RunOf(std::size_t row) const {
  const std::uint64_t k = size_ - 1 - row;
  return std::upper_bound(runs_.begin(), runs_.end(), k,
                          [](std::uint64_t n, const Run& run) { return n < run.first; }) -
         1;
}

void RecordPlaces::Prepend(RecordPlaces&& earlier) {
  for (Run& run : runs_) run.first += earlier.size_;
  earlier.runs_.insert(earlier.runs_.end(), runs_.begin(), runs_.end());
  runs_ = std::move(earlier.runs_);
  size_ += earlier.size_;
}

RecordPlaces::Place RecordPlaces::Locate(std::size_t row) const {
  const Run& run = *RunOf(row);
  const auto before = static_cast<std::size_t>(size_ - 1 - row - run.first);
  if (!run.in_file) return {false, run.at + before, 0};
  return {true, run.at, before};
}

RecordPlaces::Stretch RecordPlaces::StretchOf(std::size_t row) const {
  const auto run = RunOf(row);
  Stretch stretch;
  stretch.oldest = static_cast<std::size_t>(size_ - 1 - run->first);
  stretch.newest = stretch.oldest + 1 - run->count;
  stretch.in_file = run->in_file;
  if (run->in_file) {
    stretch.from = run->at;
    const auto next = std::find_if(run + 1, runs_.end(), [](const Run& r) { return r.in_file; });
    if (next != runs_.end()) stretch.to = next->at;
  }
  return stretch;
}

namespace {

using blocks::FirstMatch;
using blocks::LastMatch;
using blocks::Load;
using blocks::Splat;

// The common case at a glance: the moment and its TAB stand in the first 32
// bytes, the last TAB in the last 32. Nothing when it takes a closer look.
inline std::optional<bool> QuickVerdict(std::string_view field) {
  const std::size_t size = field.size();
  if (size < 32) return std::nullopt;
  const char* f = field.data();
  int first = FirstMatch(Load(f) == Splat('\t'));
  int pipe = FirstMatch(Load(f) == Splat(kEntrySeparator));
  if (first < 0) {
    first = FirstMatch(Load(f + 16) == Splat('\t'));
    if (first < 0) return std::nullopt;
    first += 16;
    if (pipe < 0) {
      pipe = FirstMatch(Load(f + 16) == Splat(kEntrySeparator));
      if (pipe >= 0) pipe += 16;
    }
  }
  if (pipe >= 0 && pipe < first) return false;
  int last = LastMatch(Load(f + size - 16) == Splat('\t'));
  if (last >= 0) {
    last += static_cast<int>(size) - 16;
  } else {
    last = LastMatch(Load(f + size - 32) == Splat('\t'));
    if (last < 0) return std::nullopt;
    last += static_cast<int>(size) - 32;
  }
  if (last > first) return true;
  return std::nullopt;
}

inline std::string_view Field(std::string_view line) {
  if (line.empty() || line.front() != '"') return line;
  const std::size_t closing = line.back() == '"' ? line.size() - 1 : line.rfind('"');
  return closing == 0 ? line.substr(1) : line.substr(1, closing - 1);
}

// The rule itself, kept inline for the scan, which judges every line. The
// line comes as its start and size for the reason FindByteInBlocks' text does.
inline bool RecordLine(const char* data, std::size_t size) {
  std::string_view line(data, size);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // Tallyrun's own mark on a line in UTF-8 that would read otherwise.
  if (line.starts_with(kUtf8Mark)) line.remove_prefix(kUtf8Mark.size());
  const std::string_view field = Field(line);
  if (const std::optional<bool> verdict = QuickVerdict(field)) return *verdict;
  const std::size_t first_tab = FindByte(field, '\t');
  // The list finds a path after the first separator, so a moment holding one
  // would show a wrong path.
  if (first_tab == std::string_view::npos ||
      FindByte(field.substr(0, first_tab), kEntrySeparator) != std::string_view::npos) {
    return false;
  }
  return FindByte(field, '\t', first_tab + 1) != std::string_view::npos;
}

}  // namespace

bool IsRecordLine(std::string_view line) { return RecordLine(line.data(), line.size()); }

std::string_view RecordField(std::string_view line) { return Field(line); }

void LogScanner::TakeLine(const char* line, std::size_t size, std::uint64_t at) {
  if (!RecordLine(line, size)) return;
  out_.AddRecord(at, adjoining_);
  adjoining_ = true;
}

void LogScanner::Feed(std::string_view piece, std::uint64_t at) {
  if (at != next_) {
    partial_.clear();
    skipping_ = partial_taken_ = adjoining_ = false;
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
    if (!skipping_ && !partial_taken_) TakeLine(partial_.data(), partial_.size(), partial_at_);
    // After an overlong line, or one counted before it was whole, the next
    // record is found again from a place of its own.
    if (skipping_ || partial_taken_) adjoining_ = false;
    skipping_ = partial_taken_ = false;
    partial_.clear();
    piece.remove_prefix(n + 1);
    at += n + 1;
  }
  std::size_t start = 0;
  for (std::size_t nl = FindByte(piece, '\n'); nl != std::string_view::npos;
       nl = FindByte(piece, '\n', start)) {
    if (nl - start <= kLongestLogLine) {
      TakeLine(piece.data() + start, nl - start, at + start);
    } else {
      adjoining_ = false;
    }
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
  TakeLine(partial_.data(), partial_.size(), partial_at_);
  partial_taken_ = out_.size() > before;
}

std::vector<std::size_t> RecordLinesFrom(std::string_view bytes, std::size_t count) {
  std::vector<std::size_t> found;
  for (std::size_t at = 0; found.size() < count && at < bytes.size();) {
    const std::size_t nl = FindByte(bytes, '\n', at);
    const std::size_t end = nl == std::string_view::npos ? bytes.size() : nl;
    if (end - at <= kLongestLogLine && IsRecordLine(bytes.substr(at, end - at))) {
      found.push_back(at);
    }
    if (nl == std::string_view::npos) break;
    at = nl + 1;
  }
  return found;
}

}  // namespace tallyrun
