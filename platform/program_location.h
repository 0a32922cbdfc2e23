// Where the running program sits and where the user's own folders are, which
// decide where the settings file and the default log live.
#pragma once

#include <string>

#include "core/settings.h"

namespace tallyrun::platform {

// The folder of the running executable, links resolved.
std::string ProgramDirectory();
ProgramPlaces CurrentProgramPlaces();

}  // namespace tallyrun::platform
