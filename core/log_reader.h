// Reading a log back as the list's entries ("moment|path"), newest first.
// Reading stops quietly at the first empty line or damaged record; what came
// before it is kept.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/env.h"

namespace tallyrun {

// A log may hold millions of records, so entries share large blocks of
// memory instead of owning one allocation each.
class LogEntries {
 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Entry 0 is the newest.
  std::string_view operator[](std::size_t i) const {
    const std::size_t k = size_ - 1 - i;
    return view_chunks_[k / kViewsPerChunk][k % kViewsPerChunk];
  }

  // The entry becomes entry 0.
  void AddNewest(std::string_view entry);
  // Builds "moment|path" in place, without a temporary.
  void AddNewest(std::string_view moment, std::string_view path);
  void Clear();

 private:
  // Views live in chunks of a fixed size, never moved once written: a growing
  // vector would copy them all, and touch twice the memory, again and again.
  static constexpr std::size_t kViewsPerChunk = std::size_t{1} << 16;

  char* Reserve(std::size_t n);
  void AddView(std::string_view view);

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_in_block_ = 0;
  std::size_t block_capacity_ = 0;
  std::vector<std::unique_ptr<std::string_view[]>> view_chunks_;  // oldest first
  std::size_t size_ = 0;
};

// Takes a log piece by piece, however the pieces cut its lines.
class LogReader {
 public:
  LogReader(Env& env, LogEntries& out) : env_(env), out_(out) {}

  // False once the reading has stopped; later pieces are ignored.
  bool Feed(std::string_view piece);
  // The last line counts even without its line end.
  void Finish();

 private:
  // `valid_utf8` is known when the line came from a stretch already checked.
  bool TakeLine(std::string_view line, bool valid_utf8);

  Env& env_;
  LogEntries& out_;
  std::string partial_line_;
  bool stopped_ = false;
};

// A missing or unreadable log gives no entries.
LogEntries ReadLogEntries(Env& env, const std::string& path);

}  // namespace tallyrun
