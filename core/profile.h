// Settings files in the Windows private-profile form ("[section]" lines, then
// "key=value" lines), read and updated by that system's rules so that files
// carried over from it keep working. Works on bytes; decoding is the caller's.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyrun {

// Section and key match without regard to letter case; blanks around names
// and values are ignored and one pair of matching quotes around a value is
// removed. Only the first section of a name and its first such key count.
std::optional<std::string> ProfileValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// `text` with the key set to `value`, every other line kept byte for byte;
// a missing section or key is added with CR LF line ends. `value` must not
// hold CR or LF.
std::string WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value);

}  // namespace tallyrun
