// The main window's list, newest first: each row a place in the log, read and
// decoded again when it is shown (the last few mebibytes read are kept at
// hand), or, for a record the window wrote itself, its entry kept aside.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/env.h"
#include "core/log_index.h"

namespace tallyrun::ui {

class LogList {
 public:
  explicit LogList(Env& env) : env_(env) {}

  // No rows; those to come are read from `log_file`.
  void Clear(const std::string& log_file);
  // Where a scan of the log adds its records.
  Places& places() { return places_; }
  // An entry ("moment|path") on top of the others.
  void AddAside(std::string entry);

  std::size_t size() const { return places_.size(); }
  bool empty() const { return places_.empty(); }
  // "moment|path"; empty when the log no longer holds a record there.
  std::string Entry(std::size_t row) const;

 private:
  // The bytes of the file around `place`, from the cache or read now.
  std::string_view Around(std::uint64_t place) const;

  struct Block {
    std::uint64_t at = 0;
    std::string bytes;
  };

  Env& env_;
  std::string log_file_;
  // A place with the top bit set stands for an entry kept aside.
  Places places_;
  std::vector<std::string> aside_;
  mutable std::vector<Block> blocks_;  // the most recently used first
};

}  // namespace tallyrun::ui
