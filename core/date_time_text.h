// How a moment is written in the log: "yyyy/MM/dd H:mm:ss", or the date alone
// at exactly midnight, so that every log reads the same on every system.
#pragma once

#include <string>

#include "core/env.h"

namespace tallyrun {

std::string DateTimeText(const LocalTime& t);
// The same text added to the end of `out`, for building a line in one piece.
void AppendDateTimeText(std::string& out, const LocalTime& t);

}  // namespace tallyrun
