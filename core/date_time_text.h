// How a moment is written in the log: "yyyy/MM/dd H:mm:ss", or the date alone
// at exactly midnight, so that every log reads the same on every system.
#pragma once

#include <cstddef>
#include <string>

#include "core/env.h"

namespace tallyrun {

// "yyyy/MM/dd HH:mm:ss": no text of an expressible moment is longer.
inline constexpr std::size_t kLongestDateTimeText = 19;

// Years 1 to 9999 with every field in its range; nothing else has a text.
bool IsExpressible(const LocalTime& t);

// The text added to the end of `out`, for building a line in one piece.
void AppendDateTimeText(std::string& out, const LocalTime& t);

}  // namespace tallyrun
