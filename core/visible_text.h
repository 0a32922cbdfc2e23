// Names and entries as a person may safely see them: nothing in a name may
// hide part of it, steer a terminal, or turn its text around (a right-to-left
// override makes "fdp.exe" read as a PDF).
#pragma once

#include <string>
#include <string_view>

namespace tallyrun {

enum class ControlStyle {
  kEscapes,   // TAB, CR, LF as \t, \r, \n; other C0 controls and DEL as \xHH
  kPictures,  // C0 controls and DEL as Unicode's Control Pictures (␀, ␍)
};

// Always well-formed UTF-8. C1 controls and the bidirectional controls
// (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069) become
// \uXXXX; stray bytes, raw or carried (see utf8.h), become \xHH.
std::string VisibleText(std::string_view text, ControlStyle style);
// Whether well-formed UTF-8 `text` holds a character VisibleText escapes.
bool HoldsHiddenControl(std::string_view text);

}  // namespace tallyrun
