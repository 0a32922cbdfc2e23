// Starting other programs: a helper left running on its own, or the window
// program taking over this process.
#pragma once

#include <string>
#include <vector>

namespace tallyrun::platform {

// Starts argv[0] (searched on PATH) without waiting for it and without
// leaving a child to reap. False when it could not even be started.
bool StartDetached(const std::vector<std::string>& argv);

// Replaces this process; returns only on failure, with the reason.
std::string ReplaceProcess(const std::string& program, const std::vector<std::string>& argv);

}  // namespace tallyrun::platform
