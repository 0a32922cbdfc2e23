// Reading a log back as the list's entries ("moment|path"), newest first.
// Reading stops quietly at the first empty line or damaged record (too few
// TABs, or far longer than any record); what came before it is kept.
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
  std::size_t size() const { return views_.size(); }
  bool empty() const { return views_.empty(); }
  // Entry 0 is the newest.
  std::string_view operator[](std::size_t i) const { return views_[views_.size() - 1 - i]; }

  // The entry becomes entry 0.
  void AddNewest(std::string_view entry);
  // Builds "moment|path" in place, without a temporary.
  void AddNewest(std::string_view moment, std::string_view path);
  void Clear();

 private:
  char* Reserve(std::size_t n);

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t used_in_block_ = 0;
  std::size_t block_capacity_ = 0;
  std::vector<std::string_view> views_;  // oldest first
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
  bool TakeLine(std::string_view line);
  bool Stop();

  Env& env_;
  LogEntries& out_;
  std::string partial_line_;
  bool stopped_ = false;
};

// A missing or unreadable log gives no entries.
LogEntries ReadLogEntries(Env& env, const std::string& path);

}  // namespace tallyrun
