// Names as a message on the terminal shows them: control characters are
// written as escapes, so that a name can neither hide part of itself nor
// steer the terminal.
#pragma once

#include <string>
#include <string_view>

namespace tallyrun {

// See VisibleText: TAB, CR and LF as \t, \r and \n, other controls, stray
// bytes and bidirectional controls as escapes.
std::string TerminalText(std::string_view text);

}  // namespace tallyrun
