#include "ui/main/log_list.h"

#include <algorithm>

#include "core/date_time_text.h"
#include "core/log_reader.h"
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
  if (down) {
    for (std::size_t row = from < rows ? from + 1 : 0; row < rows; ++row) {
      if (finder.In(Shown(row))) return row;
    }
  } else {
    for (std::size_t row = std::min(from, rows); row-- > 0;) {
      if (finder.In(Shown(row))) return row;
    }
  }
  return std::nullopt;
}

}  // namespace tallyrun::ui
