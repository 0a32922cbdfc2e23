// Windows' error codes (GetLastError) as reasons a user can read.
#pragma once

#include <string>

namespace tallyrun::platform {

std::string ReasonFromSystemError(unsigned long code);

}  // namespace tallyrun::platform
