// How a moment is written in the log: "yyyy/MM/dd H:mm:ss", or the date alone
// at exactly midnight, so that every log reads the same on every system.
#pragma once

#include <string>

#include "core/env.h"

namespace tallyrun {

std::string DateTimeText(const LocalTime& t);

}  // namespace tallyrun
