// Starting other programs: helpers left running on their own, or the window
// program taking over this process.
#pragma once

#include <string>
#include <vector>

namespace tallyrun::platform {

// Runs the commands in turn, each argv[0] searched on PATH, until one ends
// well; the last one is left running. Nothing waits for them and no child is
// left to reap. False when not even the first could be started. What the
// commands before the last print is not shown.
bool StartDetached(const std::vector<std::vector<std::string>>& commands);

// Replaces this process; returns only on failure, with the reason.
std::string ReplaceProcess(const std::string& program, const std::vector<std::string>& argv);

}  // namespace tallyrun::platform
