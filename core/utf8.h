// UTF-8 checks for text that may have come from a Japanese Windows system.
#pragma once

#include <string>
#include <string_view>

namespace tallyrun {

bool IsValidUtf8(std::string_view text);

// Text after a UTF-16 byte order mark (either order), as Notepad's "Unicode"
// saves it, in UTF-8 with the mark left out; other text as it is. An unpaired
// surrogate becomes U+FFFD.
std::string Utf8FromUtf16WithMark(std::string_view bytes);

}  // namespace tallyrun
