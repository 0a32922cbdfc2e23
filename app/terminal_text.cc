#include "app/terminal_text.h"

#include "core/visible_text.h"

namespace tallyrun {

std::string TerminalText(std::string_view text) {
  return VisibleText(text, ControlStyle::kEscapes);
}

}  // namespace tallyrun
