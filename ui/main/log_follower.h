// Following the log while the window shows it: the whole records that other
// programs append are read as they arrive, a piece at a time; a log that has
// been replaced, emptied or cut short is reported, to be read again from the
// start.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/env.h"
#include "core/log_index.h"
#include "core/status.h"

namespace tallyrun::ui {

class LogFollower {
 public:
  // How often the log is looked at: a record shows well within half a second
  // of its writing, and a log at rest costs one look at its stamp.
  static constexpr int kLookEveryMilliseconds = 200;
  // Read at one look at most; the rest waits for the next, so that the
  // window never stops answering (a huge append is read over many looks).
  static constexpr std::uint64_t kMostReadAtOnce = std::uint64_t{8} << 20;

  // A log this large is scanned in two halves at once.
  static constexpr std::uint64_t kSplitFrom = std::uint64_t{32} << 20;

  explicit LogFollower(Env& env, std::uint64_t split_from = kSplitFrom)
      : env_(env), split_from_(split_from) {}

  // Scans the whole log into `places`, newest first, and follows it from
  // there on, adding the places of what arrives. How the reading went: a log
  // that is missing reads as empty, and is followed all the same.
  Status Open(const std::string& path, RecordPlaces& places);
  void Stop();
  const std::string& path() const { return path_; }

  enum class Found {
    kNothing,
    kAdded,     // places went on top (maybe none, when only part of a line came)
    kMore,      // as kAdded, and more is waiting to be read at once
    kReplaced,  // no longer the log that was read: read it again
  };
  Found CatchUp();

  // A batch the window has appended to `path` and listed itself: passed over
  // when it is read back.
  void Wrote(const std::string& path, const Landed& landed);

 private:
  // Where the first line that starts at `at` or after it starts; 0 when none
  // does within a record's length.
  std::uint64_t LineStartFrom(std::uint64_t at) const;
  // Feeds the bytes read from read_to_ on, less the window's own batches.
  void Take(std::string_view bytes);
  void KeepTail(std::string_view bytes);

  Env& env_;
  const std::uint64_t split_from_;
  std::string path_;
  std::unique_ptr<LogScanner> scanner_;
  // The file as last read, and how far.
  std::optional<FileStamp> seen_;
  std::uint64_t read_to_ = 0;
  // The last bytes read, which a file emptied and refilled in the meantime
  // would not hold where they were.
  std::string tail_;
  std::vector<Landed> own_;
};

}  // namespace tallyrun::ui
