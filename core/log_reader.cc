#include "core/log_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/byte_search.h"
#include "core/utf8.h"

namespace tallyrun {
namespace {

constexpr std::size_t kBlockSize = LogEntries::kBlockSize;

// Blocks given up by one list of entries are kept for the next (the program
// reads logs on one thread only): a log read again (as the window does whenever it is chosen or
// replaced) then fills memory already in use. Some heaps hand blocks this large back to the system
// at once, and its fresh pages cost more than the reading itself.
class SpareBlocks {
 public:
  std::unique_ptr<char[]> Take() {
    if (spare_.empty()) return std::make_unique_for_overwrite<char[]>(kBlockSize);
    std::unique_ptr<char[]> block = std::move(spare_.back());
    spare_.pop_back();
    return block;
  }
  void Give(std::unique_ptr<char[]> block) {
    if (spare_.size() < kMostKept) spare_.push_back(std::move(block));
  }

 private:
  // Enough for a million records and a copy being read beside them, with
  // their starts.
  static constexpr std::size_t kMostKept = 256;
  std::vector<std::unique_ptr<char[]>> spare_;
};

// Never destroyed, so that entries outliving every other static can still
// give their blocks back.
SpareBlocks& Spares() {
  static SpareBlocks* const spares = new SpareBlocks;
  return *spares;
}

// Entries are short: they are copied sixteen bytes a step, the last step
// overlapping the one before, without a call into the C library, whose copy
// can spend longer setting out than copying.
void CopyShort(char* to, const char* from, std::size_t n) {
  if (n >= 16) {
    for (std::size_t i = 0; i + 16 < n; i += 16) std::memcpy(to + i, from + i, 16);
    std::memcpy(to + n - 16, from + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(to, from, 8);
    std::memcpy(to + n - 8, from + n - 8, 8);
  } else {
    for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
  }
}

// Starts are kept in blocks of bytes, so that they come from the same spares.
void StoreStart(char* chunk, std::size_t i, std::size_t start) {
  const auto value = static_cast<std::uint32_t>(start);
  std::memcpy(chunk + i * sizeof value, &value, sizeof value);
}

std::size_t LoadStart(const char* chunk, std::size_t i) {
  std::uint32_t value;
  std::memcpy(&value, chunk + i * sizeof value, sizeof value);
  return value;
}

// No writer makes a line this long (one argument is at most 128 KiB, one
// dropped path at most 4 KiB), so a longer one is damage; holding it whole
// would let one bad file take all memory.
constexpr std::size_t kLongestLine = std::size_t{1} << 20;

bool HoldsReplacementCharacter(std::string_view text) {
  for (std::size_t at = FindByte(text, '\xEF'); at != std::string_view::npos;
       at = FindByte(text, '\xEF', at + 1)) {
    if (text.substr(at, 3) == "\xEF\xBF\xBD") return true;
  }
  return false;
}

// A quoted line is the text between its first and its last double quote, so
// that a quote or comma inside a path cannot cut it short.
std::string_view FieldOf(std::string_view line) {
  if (line.empty() || line.front() != '"') return line;
  const std::size_t closing = line.rfind('"');
  if (closing == 0) return line.substr(1);
  return line.substr(1, closing - 1);
}

}  // namespace

std::string_view EntryPath(std::string_view entry) {
  const std::size_t separator = entry.find(kEntrySeparator);
  return separator == std::string_view::npos ? entry : entry.substr(separator + 1);
}

char* LogEntries::Add(std::size_t n) {
  // Starts stay below kBlockSize: a longer entry gets a block to itself.
  if (blocks_.empty() || blocks_.back().used >= kBlockSize ||
      blocks_.back().capacity - blocks_.back().used < n) {
    Block block;
    block.capacity = n > kBlockSize ? n : kBlockSize;
    block.text = n > kBlockSize ? std::make_unique_for_overwrite<char[]>(n) : Spares().Take();
    block.first_entry = size_;
    blocks_.push_back(std::move(block));
  }
  Block& block = blocks_.back();
  if (size_ % kStartsPerChunk == 0) start_chunks_.push_back(Spares().Take());
  StoreStart(start_chunks_.back().get(), size_ % kStartsPerChunk, block.used);
  ++size_;
  char* at = block.text.get() + block.used;
  block.used += n;
  return at;
}

std::string_view LogEntries::operator[](std::size_t i) const {
  const std::size_t k = size_ - 1 - i;
  const auto after = std::upper_bound(
      blocks_.begin(), blocks_.end(), k,
      [](std::size_t entry, const Block& block) { return entry < block.first_entry; });
  const Block& block = *(after - 1);
  auto start_of = [this](std::size_t entry) {
    return LoadStart(start_chunks_[entry / kStartsPerChunk].get(), entry % kStartsPerChunk);
  };
  const std::size_t next_block_entry = after == blocks_.end() ? size_ : after->first_entry;
  const std::size_t end = k + 1 < next_block_entry ? start_of(k + 1) : block.used;
  const std::size_t start = start_of(k);
  return {block.text.get() + start, end - start};
}

void LogEntries::AddNewest(std::string_view entry) {
  CopyShort(Add(entry.size()), entry.data(), entry.size());
}

void LogEntries::AddNewest(std::string_view moment, std::string_view path) {
  char* at = Add(moment.size() + 1 + path.size());
  CopyShort(at, moment.data(), moment.size());
  at[moment.size()] = kEntrySeparator;
  CopyShort(at + moment.size() + 1, path.data(), path.size());
}

void LogEntries::AddNewestFromLine(std::string_view moment_tab_path, std::size_t tab) {
  char* at = Add(moment_tab_path.size());
  CopyShort(at, moment_tab_path.data(), moment_tab_path.size());
  at[tab] = kEntrySeparator;
}

LogEntries::LogEntries(LogEntries&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      start_chunks_(std::move(other.start_chunks_)),
      size_(std::exchange(other.size_, 0)) {
  other.Clear();
}

LogEntries& LogEntries::operator=(LogEntries&& other) noexcept {
  if (this != &other) {
    Clear();
    blocks_ = std::move(other.blocks_);
    start_chunks_ = std::move(other.start_chunks_);
    size_ = std::exchange(other.size_, 0);
    other.Clear();
  }
  return *this;
}

LogEntries::~LogEntries() { Clear(); }

void LogEntries::Clear() {
  for (Block& block : blocks_) {
    if (block.capacity == kBlockSize) Spares().Give(std::move(block.text));
  }
  for (std::unique_ptr<char[]>& chunk : start_chunks_) Spares().Give(std::move(chunk));
  blocks_.clear();
  start_chunks_.clear();
  size_ = 0;
}

void LogReader::TakeLine(std::string_view line, bool plain) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // Tallyrun's own mark on a line in UTF-8 that would read otherwise.
  const bool marked = line.starts_with(kUtf8Mark);
  if (marked) line.remove_prefix(kUtf8Mark.size());
  std::string_view field = FieldOf(line);
  // The list finds a path after the first separator, so a moment holding one
  // would show a wrong path; such a line is damaged. Judged on the bytes: no
  // CP932 character holds a TAB, so the moment is the same part either way.
  std::size_t first_tab = FindByte(field, '\t');
  if (FindByte(field.substr(0, first_tab), kEntrySeparator) != std::string_view::npos) return;
  if (!plain) {
    const Reading reading = !marked              ? ReadingOf(field)
                            : IsValidUtf8(field) ? Reading::kUtf8
                                                 : Reading::kUtf8WithStrays;
    if (reading != Reading::kUtf8) {
      Decode(field, reading);
      field = decoded_;
      first_tab = FindByte(field, '\t');
    }
  }
  if (first_tab == std::string_view::npos) return;
  const std::size_t second_tab = FindByte(field, '\t', first_tab + 1);
  if (second_tab == std::string_view::npos) return;
  out_.AddNewestFromLine(field.substr(0, second_tab), first_tab);
}

void LogReader::Decode(std::string_view field, Reading reading) {
  // Only the stretch from the first byte beyond ASCII to the last is decoded:
  // around it ASCII stands for itself, in UTF-8 and in every Windows code
  // page. A double-byte character may end in an ASCII byte, so the stretch
  // takes one byte more.
  const std::size_t first = AsciiLength(field);
  const std::size_t end = std::min(field.size() - AsciiSuffixLength(field) + 1, field.size());
  const std::string_view stretch = field.substr(first, end - first);
  // Records of one folder tend to come together: the stretch is often the
  // one just decoded.
  if (stretch != decoded_from_ || reading != decoded_as_) {
    decoded_from_.assign(stretch);
    decoded_as_ = reading;
    DecodeStretch(stretch, reading);
  }
  decoded_.assign(field.substr(0, first));
  decoded_ += decoded_stretch_;
  decoded_ += field.substr(end);
}

void LogReader::DecodeStretch(std::string_view stretch, Reading reading) {
  if (reading == Reading::kCp932) {
    env_.DecodeLegacyText(stretch, decoded_stretch_);
    // Should the system's converter still refuse a byte, nothing is made up.
    if (!HoldsReplacementCharacter(decoded_stretch_)) return;
  }
  decoded_stretch_ = WithStraysCarried(stretch);
}

void LogReader::SkipRestOfLine() {
  skipping_ = true;
  partial_line_.clear();
  partial_line_.shrink_to_fit();
}

void LogReader::Feed(std::string_view piece) {
  if (skipping_ || !partial_line_.empty()) {
    const std::size_t nl = FindByte(piece, '\n');
    const std::size_t n = nl == std::string_view::npos ? piece.size() : nl;
    if (!skipping_ && partial_line_.size() + n > kLongestLine) SkipRestOfLine();
    if (!skipping_) partial_line_.append(piece.substr(0, n));
    if (nl == std::string_view::npos) return;
    piece.remove_prefix(n + 1);
    if (!skipping_ && !partial_taken_) TakeLine(partial_line_, false);
    skipping_ = false;
    partial_taken_ = false;
    partial_line_.clear();
  }

  const std::size_t last_nl = piece.rfind('\n');
  const std::size_t whole = last_nl == std::string_view::npos ? 0 : last_nl + 1;
  const std::string_view lines = piece.substr(0, whole);
  // A line break never falls inside a character, so text checked across many
  // lines is checked line by line: the check runs on until a line that needs
  // a closer look (malformed, or with a two-byte character), and starts again
  // after it.
  std::size_t plain_to = PlainUtf8Length(lines);
  for (std::size_t at = 0; at < lines.size();) {
    const std::size_t nl = FindByte(lines, '\n', at);
    if (plain_to < at) plain_to = at + PlainUtf8Length(lines.substr(at));
    if (nl - at <= kLongestLine) TakeLine(lines.substr(at, nl - at), plain_to > nl);
    at = nl + 1;
  }
  if (piece.size() - whole > kLongestLine) {
    SkipRestOfLine();
  } else {
    partial_line_.assign(piece.substr(whole));
  }
}

void LogReader::Finish() {
  if (!skipping_ && !partial_taken_ && !partial_line_.empty()) {
    const std::size_t before = out_.size();
    TakeLine(partial_line_, false);
    partial_taken_ = out_.size() > before;
  }
}

LogEntries ReadLogEntries(Env& env, const std::string& path) {
  LogEntries entries;
  LogReader reader(env, entries);
  // A log that cannot be opened simply shows nothing.
  (void)env.ReadChunks(path, 0, [&reader](std::string_view piece) {
    reader.Feed(piece);
    return true;
  });
  reader.Finish();
  return entries;
}

}  // namespace tallyrun
