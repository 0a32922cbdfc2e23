// Where the running program sits and where the user's own folders are, which
// decide where the settings file and the default log live.
#pragma once

#include <string>

#include "core/settings.h"

namespace tallyrun::platform {

// The folder of the running executable, links resolved.
std::string ProgramDirectory();
// Where an installed tree keeps the window program, from the folder of the
// command-line program (where the window is a program of its own).
std::string InstalledWindowProgram(const std::string& program_directory);
ProgramPlaces CurrentProgramPlaces();

}  // namespace tallyrun::platform
