// The forms speak UTF-8 and the controls UTF-16. Converted by the same
// system calls as the platform's paths, so that a name that does not survive
// the round trip here does not survive it there either.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tallyrun::ui::win32 {

inline std::wstring Widen(std::string_view utf8) {
  const int size = static_cast<int>(utf8.size());
  std::wstring wide(
      static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)),
      L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

inline std::string Narrow(std::wstring_view wide) {
  const int size = static_cast<int>(wide.size());
  std::string utf8(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size,
                                                                  nullptr, 0, nullptr, nullptr)),
                   '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
  return utf8;
}

}  // namespace tallyrun::ui::win32
