// Text at the Windows boundary: the program holds UTF-8, wide calls take
// UTF-16, and files for the system's own tools are in its ANSI code page.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallyrun::platform {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// A path as wide calls take it: a long path is made full and gets the "\\?\"
// prefix that lifts the 260-character limit.
std::wstring WidePath(const std::string& path);

// Bytes in `code_page` (CP_ACP: the system's ANSI code page) as UTF-8; the
// second form puts them in place of what `out` held, using its memory again.
std::string DecodeCodePage(std::string_view bytes, unsigned code_page);
void DecodeCodePage(std::string_view bytes, unsigned code_page, std::string& out);

// UTF-8 text in the ANSI code page when that holds every character exactly;
// otherwise nothing, or, in the second form, the text left in UTF-8: never
// with "?" standing in for what was lost.
std::optional<std::string> AnsiExact(std::string_view utf8);
std::string AnsiWhereExact(std::string_view utf8);

}  // namespace tallyrun::platform
