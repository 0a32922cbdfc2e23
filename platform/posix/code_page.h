// Text in the code page of a Japanese Windows system (CP932), which logs and
// settings files carried over from there are written in.
#pragma once

#include <string>
#include <string_view>

namespace tallyrun::platform {

// Bytes that are not CP932 become U+FFFD, so nothing is dropped silently.
std::string Cp932ToUtf8(std::string_view bytes);

}  // namespace tallyrun::platform
