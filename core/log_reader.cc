#include "core/log_reader.h"

#include <cstring>

#include "core/utf8.h"

namespace tallyrun {
namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 20;

// No writer makes a line this long (one argument is at most 128 KiB, one
// dropped path at most 4 KiB), so a longer one is damage; holding it whole
// would let one bad file take all memory.
constexpr std::size_t kLongestLine = std::size_t{1} << 20;

// A quoted line is the text between its first and its last double quote, so
// that a quote or comma inside a path cannot cut it short.
std::string_view FieldOf(std::string_view line) {
  if (line.empty() || line.front() != '"') return line;
  const std::size_t closing = line.rfind('"');
  if (closing == 0) return line.substr(1);
  return line.substr(1, closing - 1);
}

}  // namespace

char* LogEntries::Reserve(std::size_t n) {
  if (blocks_.empty() || block_capacity_ - used_in_block_ < n) {
    block_capacity_ = n > kBlockSize ? n : kBlockSize;
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(block_capacity_));
    used_in_block_ = 0;
  }
  char* at = blocks_.back().get() + used_in_block_;
  used_in_block_ += n;
  return at;
}

void LogEntries::AddNewest(std::string_view entry) {
  char* at = Reserve(entry.size());
  if (!entry.empty()) std::memcpy(at, entry.data(), entry.size());
  views_.emplace_back(at, entry.size());
}

void LogEntries::AddNewest(std::string_view moment, std::string_view path) {
  const std::size_t n = moment.size() + 1 + path.size();
  char* at = Reserve(n);
  if (!moment.empty()) std::memcpy(at, moment.data(), moment.size());
  at[moment.size()] = '|';
  if (!path.empty()) std::memcpy(at + moment.size() + 1, path.data(), path.size());
  views_.emplace_back(at, n);
}

void LogEntries::Clear() {
  blocks_.clear();
  views_.clear();
  used_in_block_ = 0;
  block_capacity_ = 0;
}

bool LogReader::TakeLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view field = FieldOf(line);
  if (field.empty()) return false;

  std::string decoded;
  if (!IsValidUtf8(field)) {
    decoded = env_.DecodeLegacyText(field);
    field = decoded;
  }
  const std::size_t first_tab = field.find('\t');
  if (first_tab == std::string_view::npos) return false;
  const std::size_t second_tab = field.find('\t', first_tab + 1);
  if (second_tab == std::string_view::npos) return false;
  out_.AddNewest(field.substr(0, first_tab),
                 field.substr(first_tab + 1, second_tab - first_tab - 1));
  return true;
}

bool LogReader::Feed(std::string_view piece) {
  if (stopped_) return false;
  if (!partial_line_.empty()) {
    const void* nl = std::memchr(piece.data(), '\n', piece.size());
    const std::size_t n =
        nl == nullptr ? piece.size()
                      : static_cast<std::size_t>(static_cast<const char*>(nl) - piece.data());
    if (partial_line_.size() + n > kLongestLine) return Stop();
    partial_line_.append(piece.substr(0, n));
    if (nl == nullptr) return true;
    piece.remove_prefix(n + 1);
    const bool more = TakeLine(partial_line_);
    partial_line_.clear();
    if (!more) return Stop();
  }
  while (!piece.empty()) {
    const void* nl = std::memchr(piece.data(), '\n', piece.size());
    if (nl == nullptr) {
      if (piece.size() > kLongestLine) return Stop();
      partial_line_.assign(piece);
      break;
    }
    const std::size_t n = static_cast<std::size_t>(static_cast<const char*>(nl) - piece.data());
    if (n > kLongestLine || !TakeLine(piece.substr(0, n))) return Stop();
    piece.remove_prefix(n + 1);
  }
  return true;
}

bool LogReader::Stop() {
  stopped_ = true;
  partial_line_.clear();
  partial_line_.shrink_to_fit();
  return false;
}

void LogReader::Finish() {
  if (!stopped_ && !partial_line_.empty()) TakeLine(partial_line_);
  partial_line_.clear();
  stopped_ = true;
}

LogEntries ReadLogEntries(Env& env, const std::string& path) {
  LogEntries entries;
  LogReader reader(env, entries);
  // A log that cannot be opened simply shows nothing.
  (void)env.ReadChunks(path, [&reader](std::string_view piece) { return reader.Feed(piece); });
  reader.Finish();
  return entries;
}

}  // namespace tallyrun
