// Handing over to the window program, which lives in a file of its own so
// that recording from the command line never loads the windowing toolkit.
#pragma once

#include <string>

#include "core/settings.h"

namespace tallyrun {

// Replaces this process with the window program; returns only on failure,
// with the reason.
std::string ShowWindowProgram(const std::string& program_directory,
                              const SettingsLocation& location, const std::string& log_file_path);

}  // namespace tallyrun
