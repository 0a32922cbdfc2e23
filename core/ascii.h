// Small helpers for ASCII text in names, keys and headers, where letter case
// and blanks follow the plain ASCII rules whatever the encoding around them.
#pragma once

#include <string>
#include <string_view>

namespace tallyrun {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
// `text` with its ASCII letters in lower case, in place of what `out` held.
void LowerAscii(std::string_view text, std::string& out);
// `text` without any of the bytes in `blanks` at either end.
std::string_view Trimmed(std::string_view text, std::string_view blanks = " \t");

}  // namespace tallyrun
