// The main window's list, newest first: each row a record in the log, found
// again and decoded when it is shown (the last few mebibytes read are kept at
// hand), or, for a record the window wrote itself, its entry kept aside.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/env.h"
#include "core/log_index.h"
#include "ui/main/finding.h"

namespace tallyrun::ui {

class LogList {
 public:
  explicit LogList(Env& env) : env_(env) {}

  // No rows; those to come are read from `log_file`.
  void Clear(const std::string& log_file);
  // Where a scan of the log adds its records.
  RecordPlaces& places() { return places_; }
  // An entry ("moment|path") on top of the others.
  void AddAside(std::string entry);
  // The log has grown: what was read up to its end then is not all there is.
  void Grew();

  std::size_t size() const { return places_.size(); }
  bool empty() const { return places_.empty(); }
  // "moment|path"; empty when the log no longer holds that record.
  std::string Entry(std::size_t row) const;
  // The entry as the list shows it: nothing hidden, nothing too long to lay out.
  std::string Shown(std::size_t row) const;
  // The first row after `from` (before it, going up) whose shown entry holds
  // the text; `from` past the end starts at an end.
  std::optional<std::size_t> Find(const Finder& finder, std::size_t from, bool down) const;

 private:
  struct Span {
    std::string_view bytes;
    bool to_end = false;  // the file ended there when it was read
  };
  // The file's bytes from `from` on, at least `wanted` of them where the file
  // has them: from the blocks at hand, or read now.
  Span Bytes(std::uint64_t from, std::size_t wanted) const;
  // Where the records of the run starting at `at` stand, from `at`.
  const std::vector<std::size_t>& RunRecords(std::uint64_t at, std::size_t count) const;

  struct Block {
    std::uint64_t at = 0;
    std::string bytes;
    bool to_end = false;
  };

  Env& env_;
  std::string log_file_;
  RecordPlaces places_;
  std::vector<std::string> aside_;
  // The most recently used first.
  mutable std::vector<Block> blocks_;
  mutable std::vector<std::pair<std::uint64_t, std::vector<std::size_t>>> runs_;
};

}  // namespace tallyrun::ui
