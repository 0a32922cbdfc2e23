// Names as a message on the terminal shows them: control characters are
// written as escapes, so that a name can neither hide part of itself nor
// steer the terminal.
#pragma once

#include <string>
#include <string_view>

namespace tallyrun {

// TAB, CR and LF as \t, \r and \n; every other control character, also the
// two-byte UTF-8 ones (U+0080 to U+009F), as \xHH per byte.
std::string TerminalText(std::string_view text);

}  // namespace tallyrun
