// UTF-8 checks for text that may have come from a Japanese Windows system.
#pragma once

#include <string_view>

namespace tallyrun {

bool IsValidUtf8(std::string_view text);

}  // namespace tallyrun
