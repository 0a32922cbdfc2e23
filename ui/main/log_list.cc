#include "ui/main/log_list.h"

#include <algorithm>

#include "core/log_reader.h"

namespace tallyrun::ui {
namespace {

constexpr std::uint64_t kAside = std::uint64_t{1} << 63;
// A block reaches half of it each way from the row first shown, so that
// scrolling either way finds its rows at hand.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr std::size_t kBlocksKept = 4;

std::string EntryOfLine(std::string_view line, Env& env) {
  LogEntries one;
  LogReader reader(env, one);
  reader.Feed(line);
  reader.Finish();
  return one.empty() ? std::string() : std::string(one[0]);
}

}  // namespace

void LogList::Clear(const std::string& log_file) {
  log_file_ = log_file;
  places_.Clear();
  aside_.clear();
  blocks_.clear();
}

void LogList::AddAside(std::string entry) {
  places_.Add(kAside | aside_.size());
  aside_.push_back(std::move(entry));
}

std::string_view LogList::Around(std::uint64_t place) const {
  const std::uint64_t from = place > 0 ? place - 1 : 0;
  for (auto block = blocks_.begin(); block != blocks_.end(); ++block) {
    if (block->at > from || from >= block->at + block->bytes.size()) continue;
    const std::string_view bytes = std::string_view(block->bytes).substr(from - block->at);
    // The whole line must be in it: the file may have grown since.
    if (bytes.find('\n', 1) == std::string_view::npos) break;
    std::rotate(blocks_.begin(), block, block + 1);
    return std::string_view(blocks_.front().bytes).substr(from - blocks_.front().at);
  }
  Block block;
  block.at = from > kBlockBytes / 2 ? (from - kBlockBytes / 2) & ~std::uint64_t{4095} : 0;
  std::size_t wanted = kBlockBytes;
  // A line longer than the block's reach is read whole, as far as a record goes.
  while (true) {
    block.bytes.clear();
    const Status read = env_.ReadChunks(log_file_, block.at, [&](std::string_view piece) {
      block.bytes.append(piece.substr(0, wanted - block.bytes.size()));
      return block.bytes.size() < wanted;
    });
    if (!read.ok() || from < block.at || from - block.at >= block.bytes.size()) return {};
    const std::string_view bytes = std::string_view(block.bytes).substr(from - block.at);
    if (bytes.find('\n', 1) != std::string_view::npos || block.bytes.size() < wanted ||
        wanted > kLongestLogLine) {
      break;
    }
    block.at = from;
    wanted = kLongestLogLine + 3;
  }
  blocks_.insert(blocks_.begin(), std::move(block));
  if (blocks_.size() > kBlocksKept) blocks_.pop_back();
  return std::string_view(blocks_.front().bytes).substr(from - blocks_.front().at);
}

std::string LogList::Entry(std::size_t row) const {
  if (row >= size()) return {};
  const std::uint64_t place = places_[row];
  if (place & kAside) return aside_[place & ~kAside];
  std::string_view line = Around(place);
  // A record starts a line; the file may have changed since it was found.
  if (place > 0) {
    if (line.empty() || line.front() != '\n') return {};
    line.remove_prefix(1);
  }
  line = line.substr(0, line.find('\n'));
  if (line.size() > kLongestLogLine || !IsRecordLine(line)) return {};
  return EntryOfLine(line, env_);
}

}  // namespace tallyrun::ui
