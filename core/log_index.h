// Where a log's records are, rather than copies of them: one scan of the file
// notes where records start, sparsely (one place for a run of records that
// stand close together), so that a list of millions costs a few bytes a
// record and reads a record again only when it is shown. Lines are judged by
// the reader's rules (core/log_reader.h): empty, damaged and overlong lines
// are passed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tallyrun {

// No writer makes a line this long (one argument is at most 128 KiB, one
// dropped path at most 4 KiB), so a longer one is damage; holding it whole
// would let one bad file take all memory.
inline constexpr std::size_t kLongestLogLine = std::size_t{1} << 20;

// Whether a line (without its line end) reads as a record: the moment, a
// TAB, the path, a TAB and what follows, bare or in double quotes, with no
// "|" in the moment (the list finds a path after the first). Judged on the
// line's own bytes: no CP932 character holds a TAB, so whatever their
// encoding, the parts are the same.
bool IsRecordLine(std::string_view line);
// The record's text in a line without its line end and mark: the text
// between its first and its last double quote when it starts with one.
std::string_view RecordField(std::string_view line);

// The rows of a list in the order they came, numbered newest (last added)
// first: records in the file, in runs (each run a place where its first
// record starts, the others being the next record lines after it, no more
// than kRunBytes on), and entries kept elsewhere, each known by a token.
class RecordPlaces {
 public:
  static constexpr std::size_t kRunRecords = 64;
  static constexpr std::uint64_t kRunBytes = std::uint64_t{256} << 10;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  void Clear();

  // A record line at `offset`. `next` when it is the first record line after
  // the one added before it, with no record line and no overlong line between.
  void AddRecord(std::uint64_t offset, bool next) {
    if (next && run_open_ && runs_.back().count < kRunRecords &&
        offset - runs_.back().at <= kRunBytes) {
      ++runs_.back().count;
      ++size_;
    } else {
      StartRun(offset, true);
    }
  }
  void AddToken(std::uint64_t token);
  // The rows of `earlier` (of the file before these) under these.
  void Prepend(RecordPlaces&& earlier);

  struct Place {
    bool in_file = false;
    // In the file: where its run starts, and how many record lines of the
    // run come before it. Otherwise: its token.
    std::uint64_t at = 0;
    std::size_t records_before = 0;
  };
  // Row 0 is the newest.
  Place Locate(std::size_t row) const;

  // The rows that share a place with `row`, and for rows of the file the
  // bytes that hold them: from their run's start to where the file's next
  // run starts (`to` is 0 for the last run of the file).
  struct Stretch {
    std::size_t newest = 0, oldest = 0;
    bool in_file = false;
    std::uint64_t from = 0, to = 0;
  };
  Stretch StretchOf(std::size_t row) const;

 private:
  struct Run {
    std::uint64_t first = 0;  // the number of the run's first row, oldest first
    std::uint64_t at = 0;     // its place, or its token
    std::uint32_t count = 0;
    bool in_file = false;
  };
  void StartRun(std::uint64_t at, bool in_file);
  std::vector<Run>::const_iterator RunOf(std::size_t row) const;

  std::vector<Run> runs_;
  std::size_t size_ = 0;
  bool run_open_ = false;  // the last run holds records of the file
};

// Takes a log piece by piece, however the pieces cut its lines, and adds its
// record lines to `out`.
class LogScanner {
 public:
  explicit LogScanner(RecordPlaces& out) : out_(out) {}

  // `piece` holds the file's bytes from offset `at` on. A piece that does not
  // follow the one before (bytes left out between) starts a line afresh.
  void Feed(std::string_view piece, std::uint64_t at);
  // The last line counts even without its line end. Fed on afterwards, the
  // scanner counts that line, once finished, only if it did not count here.
  void Finish();

 private:
  void TakeLine(const char* line, std::size_t size, std::uint64_t at);

  RecordPlaces& out_;
  std::uint64_t next_ = 0;  // where the next piece is expected
  // Whether the next record line follows the last one added.
  bool adjoining_ = false;
  // A line begun in an earlier piece, and where it starts.
  std::string partial_;
  std::uint64_t partial_at_ = 0;
  bool skipping_ = false;       // inside a line too long to be a record
  bool partial_taken_ = false;  // Finish counted partial_ already
};

// The record lines that follow one another from the start of `bytes` (a
// record line itself), at most `count`: their offsets from the start. The
// bytes end where the file ended, or go on past the last line wanted.
std::vector<std::size_t> RecordLinesFrom(std::string_view bytes, std::size_t count);

}  // namespace tallyrun
