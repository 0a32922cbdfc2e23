#include "platform/code_page.h"

#include "platform/win32/wide_text.h"

namespace tallyrun::platform {

std::string Cp932ToUtf8(std::string_view bytes) { return DecodeCodePage(bytes, 932); }

}  // namespace tallyrun::platform
