// Settings files in the Windows private-profile form ("[section]" lines, then
// "key=value" lines), read and updated by that system's rules so that files
// carried over from it keep working. Works on bytes; decoding is the caller's.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyrun {

// As Windows reads it: any run of CR and LF ends a line; section and key
// match without regard to letter case; blanks (space, TAB, LF, VT, FF, CR,
// ^Z) around names and values are ignored and one pair of matching quotes
// around a value is removed; a NUL ends a value, and a name holding one
// matches nothing. A section name runs to the line's last "]" (never the
// second byte of a CP932 character). Only the first section of a name and its
// first line of the key count, and a key line without "=" means the key has
// no value. A UTF-16 file with a byte order mark is read as UTF-8; other
// files give their bytes unchanged.
std::optional<std::string> ProfileValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// `text` with the key set to `value`, every other line kept byte for byte
// and the file's encoding kept; a missing section or key is added with the
// file's own line end (CR LF in a new file). `value` must not hold CR, LF or
// NUL.
std::string WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value);

}  // namespace tallyrun
