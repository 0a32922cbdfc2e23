// Where a log's records are, rather than copies of them: one scan of the file
// notes where each line that reads as a record starts, so that a list of
// millions keeps eight bytes a record and reads a record again only when it
// is shown. Lines are judged by the reader's rules (core/log_reader.h):
// empty, damaged and overlong lines are passed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tallyrun {

// No writer makes a line this long (one argument is at most 128 KiB, one
// dropped path at most 4 KiB), so a longer one is damage; holding it whole
// would let one bad file take all memory.
inline constexpr std::size_t kLongestLogLine = std::size_t{1} << 20;

// Places in the order they were found, numbered newest (last found) first.
// Kept in blocks that never move, so that growing never copies them.
class Places {
 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Place 0 is the last added.
  std::uint64_t operator[](std::size_t i) const {
    const std::size_t k = size_ - 1 - i;
    return blocks_[k / kPerBlock][k % kPerBlock];
  }
  void Add(std::uint64_t place);
  void Clear();

 private:
  static constexpr std::size_t kPerBlock = std::size_t{1} << 16;
  std::vector<std::unique_ptr<std::uint64_t[]>> blocks_;
  std::size_t size_ = 0;
};

// Takes a log piece by piece, however the pieces cut its lines, and adds to
// `out` the offset at which each record line starts.
class LogScanner {
 public:
  explicit LogScanner(Places& out) : out_(out) {}

  // `piece` holds the file's bytes from offset `at` on. A piece that does not
  // follow the one before (bytes left out between) starts a line afresh.
  void Feed(std::string_view piece, std::uint64_t at);
  // The last line counts even without its line end. Fed on afterwards, the
  // scanner counts that line, once finished, only if it did not count here.
  void Finish();

 private:
  void TakeLine(std::string_view line, std::uint64_t at);

  Places& out_;
  std::uint64_t next_ = 0;  // where the next piece is expected
  // A line begun in an earlier piece, and where it starts.
  std::string partial_;
  std::uint64_t partial_at_ = 0;
  bool skipping_ = false;       // inside a line too long to be a record
  bool partial_taken_ = false;  // Finish counted partial_ already
};

// Whether a line (without its line end) reads as a record: the reader's rule
// on the line's own bytes, whatever their encoding.
bool IsRecordLine(std::string_view line);

}  // namespace tallyrun
