#include "ui/main/log_list.h"

#include <algorithm>

#include "core/byte_search.h"
#include "core/date_time_text.h"
#include "core/log_reader.h"
#include "core/utf8.h"
#include "core/visible_text.h"

namespace tallyrun::ui {
namespace {

// Blocks of the file read at once; a few thousand records each.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr std::size_t kBlocksKept = 4;
constexpr std::size_t kRunsKept = 16;
constexpr std::size_t kUsualRunReach = std::size_t{64} << 10;
constexpr std::size_t kUsualLine = 4096;

// The moment, "|" and the longest path the system accepts. Only a damaged log
// holds more, and laying out megabytes of text would stall every repaint.
constexpr std::size_t kLongestShownEntry = kLongestDateTimeText + 1 + 4096;

// Reading the log for a search: a few thousand runs at a time.
constexpr std::size_t kSearchBytes = std::size_t{4} << 20;

// A shown entry is its line's text, read as UTF-8 or decoded from CP932, but
// that the separator TAB shows as "|", a control as its picture, a long
// entry ends in "…", and a stray byte or a hidden control as an escape
// (\xHH, \uXXXX). So where an entry matches, its line holds, byte for byte
// with ASCII letters folded as the search folds them:
//  - if the line is plain UTF-8 (see utf8.h) with no hidden control, each
//    piece of the text between "|", "…" and control pictures;
//  - whatever the line, each piece of the text's ASCII between "|" and "\",
//    less the first few characters that could end an escape.
class RawFilter {
 public:
  explicit RawFilter(const Finder& finder)
      : fold_(finder.folds_ascii()), plain_(PlainKey(finder)), any_(AnyKey(finder)) {}

  // Whether there is anything to look for in the bytes.
  bool useful() const { return !plain_.empty(); }

  // False only when no entry of the lines in `bytes` matches.
  bool MayHold(std::string_view bytes) const {
    // The test that holds for every line first: it needs no look at the encoding.
    if (!any_.empty() && FindText(bytes, any_, fold_) == std::string_view::npos) return false;
    if (plain_.size() <= any_.size()) return true;
    const bool plain = PlainUtf8Length(bytes) == bytes.size() && !HoldsHiddenControl(bytes);
    return !plain || FindText(bytes, plain_, fold_) != std::string_view::npos;
  }

 private:
  static std::string_view PlainKey(const Finder& finder) {
    return Longest(finder.Pieces([](char32_t c) {
      return c == kEntrySeparator || c == U'…' || (c >= 0x2400 && c <= 0x2421);
    }));
  }
  static std::string_view AnyKey(const Finder& finder) {
    std::string_view key = Longest(
        finder.Pieces([](char32_t c) { return c >= 0x80 || c == kEntrySeparator || c == '\\'; }));
    const auto ends_escape = [](char c) {
      return c == 'x' || c == 'u' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') ||
             (c >= 'A' && c <= 'F');
    };
    for (int i = 0; i < 5 && !key.empty() && ends_escape(key.front()); ++i) key.remove_prefix(1);
    return key;
  }
  static std::string_view Longest(const std::vector<std::string_view>& pieces) {
    std::string_view longest;
    for (const std::string_view piece : pieces) {
      if (piece.size() > longest.size()) longest = piece;
    }
    return longest;
  }

  bool fold_;
  std::string_view plain_, any_;
};

template <typename T>
void MoveToFront(std::vector<T>& items, typename std::vector<T>::iterator item) {
  std::rotate(items.begin(), item, item + 1);
}

}  // namespace

void LogList::Clear(const std::string& log_file) {
  log_file_ = log_file;
  places_.Clear();
  aside_.clear();
  blocks_.clear();
  runs_.clear();
}

void LogList::AddAside(std::string entry) {
  places_.AddToken(aside_.size());
  aside_.push_back(std::move(entry));
}

void LogList::Grew() {
  std::erase_if(blocks_, [](const Block& block) { return block.to_end; });
  runs_.clear();
}

LogList::Span LogList::Bytes(std::uint64_t from, std::size_t wanted) const {
  const auto holds = [from, wanted](const Block& block) {
    const std::uint64_t end = block.at + block.bytes.size();
    return block.at <= from && from <= end && (end - from >= wanted || block.to_end);
  };
  const auto known = std::find_if(blocks_.begin(), blocks_.end(), holds);
  if (known != blocks_.end()) {
    MoveToFront(blocks_, known);
  } else {
    // As much before as after: rows are shown going either way.
    Block block;
    const std::size_t size = std::max(kBlockBytes, 2 * wanted);
    block.at = from > size / 2 ? (from - size / 2) & ~std::uint64_t{4095} : 0;
    const Status read = env_.ReadChunks(log_file_, block.at, [&](std::string_view piece) {
      block.bytes.append(piece.substr(0, size - block.bytes.size()));
      return block.bytes.size() < size;
    });
    if (!read.ok() || from > block.at + block.bytes.size()) return {};
    block.to_end = block.bytes.size() < size;
    blocks_.insert(blocks_.begin(), std::move(block));
    if (blocks_.size() > kBlocksKept) blocks_.pop_back();
  }
  const Block& block = blocks_.front();
  return {std::string_view(block.bytes).substr(from - block.at), block.to_end};
}

const std::vector<std::size_t>& LogList::RunRecords(std::uint64_t at, std::size_t count) const {
  for (auto run = runs_.begin(); run != runs_.end(); ++run) {
    if (run->first == at && run->second.size() >= count) {
      MoveToFront(runs_, run);
      return runs_.front().second;
    }
  }
  // Most runs are a few kilobytes; the longest reaches kRunBytes to its last
  // record's start, then one line.
  std::vector<std::size_t> found;
  for (const std::size_t reach : {kUsualRunReach, RecordPlaces::kRunBytes + kLongestLogLine + 1}) {
    const Span span = Bytes(at, reach);
    std::string_view bytes = span.bytes;
    // Only lines known whole count, but for the file's last.
    if (!span.to_end) bytes = bytes.substr(0, bytes.rfind('\n') + 1);
    found = RecordLinesFrom(bytes, RecordPlaces::kRunRecords);
    if (found.size() >= count || span.to_end) break;
  }
  runs_.insert(runs_.begin(), {at, std::move(found)});
  if (runs_.size() > kRunsKept) runs_.pop_back();
  return runs_.front().second;
}

std::string LogList::Entry(std::size_t row) const {
  if (row >= size()) return {};
  const RecordPlaces::Place place = places_.Locate(row);
  if (!place.in_file) return aside_[place.at];
  // A run starts a line; the file may have changed since it was read.
  if (place.at > 0) {
    const Span before = Bytes(place.at - 1, 1);
    if (before.bytes.empty() || before.bytes.front() != '\n') return {};
  }
  const std::vector<std::size_t>& records = RunRecords(place.at, place.records_before + 1);
  if (records.size() <= place.records_before) return {};
  const std::uint64_t start = place.at + records[place.records_before];
  Span span = Bytes(start, kUsualLine);
  if (span.bytes.find('\n') == std::string_view::npos && !span.to_end) {
    span = Bytes(start, kLongestLogLine + 1);
  }
  const std::string_view line = span.bytes.substr(0, span.bytes.find('\n'));
  if (line.size() > kLongestLogLine) return {};
  return EntryOf(line, env_);
}

std::string LogList::Shown(std::size_t row) const {
  std::string_view entry;
  const std::string whole = Entry(row);
  entry = whole;
  const bool cut = entry.size() > kLongestShownEntry;
  if (cut) {
    // Cut where a character begins, never inside one.
    std::size_t end = kLongestShownEntry;
    while (end > 0 && (static_cast<unsigned char>(entry[end]) & 0xC0) == 0x80) --end;
    entry = entry.substr(0, end);
  }
  std::string shown = VisibleText(entry, ControlStyle::kPictures);
  if (cut) shown += "…";
  return shown;
}

std::optional<std::size_t> LogList::Find(const Finder& finder, std::size_t from, bool down) const {
  const std::size_t rows = size();
  if (rows == 0) return std::nullopt;
  const RawFilter filter(finder);
  // The log's bytes read for the search, reused while the rows go one way.
  std::string read;
  std::uint64_t read_at = 0;
  const auto bytes = [&](std::uint64_t begin,
                         std::uint64_t end) -> std::optional<std::string_view> {
    if (begin < read_at || end > read_at + read.size()) {
      // Where the search goes next, the way it goes.
      read_at = down ? (end > kSearchBytes ? end - kSearchBytes : 0) : begin;
      read.clear();
      (void)env_.ReadChunks(log_file_, read_at, [&](std::string_view piece) {
        read.append(piece.substr(0, kSearchBytes - read.size()));
        return read.size() < kSearchBytes;
      });
      if (end > read_at + read.size()) return std::nullopt;
    }
    return std::string_view(read).substr(begin - read_at, end - begin);
  };
  // Row by row, but a run of rows whose lines cannot match is passed over whole.
  std::size_t row = down ? (from < rows ? from + 1 : 0) : std::min(from, rows);
  while (down ? row < rows : row-- > 0) {
    const RecordPlaces::Stretch stretch = places_.StretchOf(row);
    const std::size_t last = down ? stretch.oldest : stretch.newest;
    bool passed = false;
    if (filter.useful() && stretch.in_file && stretch.to > stretch.from &&
        stretch.to - stretch.from <= kSearchBytes) {
      const std::optional<std::string_view> lines = bytes(stretch.from, stretch.to);
      passed = lines && !filter.MayHold(*lines);
    }
    if (!passed) {
      for (;; down ? ++row : --row) {
        if (finder.In(Shown(row))) return row;
        if (row == last) break;
      }
    }
    row = last;
    if (down) ++row;
  }
  return std::nullopt;
}

}  // namespace tallyrun::ui
