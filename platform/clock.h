// The local wall clock.
#pragma once

#include <ctime>

#include "core/env.h"

namespace tallyrun::platform {

LocalTime LocalNow();
LocalTime ToLocalTime(std::time_t seconds);

}  // namespace tallyrun::platform
