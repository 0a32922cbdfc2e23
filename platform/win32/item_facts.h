// What a record holds of an item, from what Windows tells of it.
#pragma once

#include <windows.h>

#include "core/env.h"

namespace tallyrun::platform {

// The attributes as the log's rules read them, a sixteen-bit word: bits
// beyond it (cloud files kept on the device or online only, ReFS integrity)
// never make an item look unreadable or other than it is. A moment that has
// no local time is left as none.
ItemFacts ItemFactsFrom(DWORD attributes, const FILETIME& last_write);

}  // namespace tallyrun::platform
