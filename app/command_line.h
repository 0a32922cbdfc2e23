// Recording the items named on the command line: one bare line each, in the
// order given, written to the log in one batch; no window is ever opened.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/env.h"
#include "core/status.h"

namespace tallyrun {

struct CommandLineOutcome {
  // Items that cannot be one line of the log (a TAB, CR or LF in the name).
  std::vector<std::string> refused;
  // Items recorded without a date because they could not be found, as named.
  std::vector<std::string_view> missing;
  // Relative items while the current folder cannot be found (deleted).
  std::vector<std::string> unplaced;
  Status written = Status::Ok();
};

// Items are made full and normalised from `current_directory`, so the log
// always holds full paths that can be opened later from anywhere; an empty
// `current_directory` means it could not be found.
CommandLineOutcome RecordItems(Env& env, const std::string& log_file_path,
                               const std::vector<std::string_view>& items,
                               const std::string& current_directory);

}  // namespace tallyrun
