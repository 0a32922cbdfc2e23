// What a drop of files and folders does to the log, whatever toolkit
// delivered it: one quoted record per item, in drop order, written in one
// batch; the entries to put at the top of the list; the names refused.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/env.h"
#include "core/status.h"

namespace tallyrun::ui {

class DropBatch {
 public:
  explicit DropBatch(Env& env) : env_(env), current_directory_(env.CurrentDirectory()) {}

  // `path` may gain a trailing separator (a plain folder). `exact` is false
  // when the name could not be carried to us as the system spells it.
  void Take(std::string& path, bool exact = true);
  // Writes the records to `log_file`; a drop that took nothing writes
  // nothing. The entries are kept only when the records got in; `landed`
  // learns where they went.
  Status Write(const std::string& log_file, Landed* landed = nullptr);

  // The entries for the list ("moment|path"), in drop order.
  const std::vector<std::string>& added() const { return added_; }
  const std::vector<std::string>& refused() const { return refused_; }

 private:
  Env& env_;
  const std::string current_directory_;
  std::string lookup_;  // reused from item to item
  std::string batch_;
  std::vector<std::string> added_;
  std::vector<std::string> refused_;
  std::string moment_;
  std::optional<LocalTime> moment_of_;
};

// The message naming the refused items, a few of them by name.
std::string RefusalText(const std::vector<std::string>& refused);
// The message for a log file that could not be written or read.
std::string WriteFailureText(const std::string& log_file, const Status& written);
std::string ReadFailureText(const std::string& log_file, const Status& read);

}  // namespace tallyrun::ui
