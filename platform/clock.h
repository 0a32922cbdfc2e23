// The local wall clock.
#pragma once

#include <ctime>

#include "core/env.h"

namespace tallyrun::platform {

LocalTime LocalNow();
// All zero, which no date text expresses, when the moment has no local time
// of years 1 to 9999.
LocalTime ToLocalTime(std::time_t seconds);

}  // namespace tallyrun::platform
