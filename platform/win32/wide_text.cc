#include "platform/win32/wide_text.h"

#include <windows.h>

#include <algorithm>

#include "core/utf8.h"

namespace tallyrun::platform {
namespace {

// UTF-16 as UTF-8 the way WideCharToMultiByte makes it, lone surrogates as
// U+FFFD, without a call per line.
void Utf8Of(std::wstring_view wide, std::string& out) {
  out.resize(wide.size() * 3);
  char* at = out.data();
  for (std::size_t i = 0; i < wide.size(); ++i) {
    unsigned c = wide[i];
    if (c < 0x80) {
      *at++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *at++ = static_cast<char>(0xC0 | (c >> 6));
      *at++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
               wide[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00u);
      *at++ = static_cast<char>(0xF0 | (c >> 18));
      *at++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *at++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *at++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
      *at++ = static_cast<char>(0xE0 | (c >> 12));
      *at++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *at++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
  return utf8;
}

std::wstring WidePath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (wide.size() < MAX_PATH || wide.starts_with(L"\\\\?\\")) return wide;
  // Behind the prefix the system takes every name literally: "/" and ".."
  // would be names. So the path is made full first, as a short one would be.
  std::wstring full(wide.size() + MAX_PATH, L'\0');
  auto make_full = [&wide, &full] {
    return ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  };
  DWORD n = make_full();
  if (n >= full.size()) {
    full.resize(n);
    n = make_full();
  }
  if (n == 0 || n >= full.size()) return wide;
  full.resize(n);
  if (full.size() > 2 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return full;
}

std::string DecodeCodePage(std::string_view bytes, unsigned code_page) {
  std::string out;
  DecodeCodePage(bytes, code_page, out);
  return out;
}

void DecodeCodePage(std::string_view bytes, unsigned code_page, std::string& out) {
  out.clear();
  if (bytes.empty()) return;
  // A log read back decodes one line after another: a line fits in a buffer
  // on the stack, and no call is made only to learn a size, as no code page
  // makes more UTF-16 units than bytes.
  constexpr std::size_t kOnStack = 1024;
  wchar_t on_stack[kOnStack];
  std::wstring on_heap;
  wchar_t* wide = on_stack;
  if (bytes.size() > kOnStack) {
    on_heap.resize(bytes.size());
    wide = on_heap.data();
  }
  const int size = static_cast<int>(bytes.size());
  int units = ::MultiByteToWideChar(code_page, 0, bytes.data(), size, wide,
                                    static_cast<int>(std::max(bytes.size(), kOnStack)));
  if (units <= 0 && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    on_heap.resize(static_cast<std::size_t>(
        ::MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0)));
    wide = on_heap.data();
    units = ::MultiByteToWideChar(code_page, 0, bytes.data(), size, wide,
                                  static_cast<int>(on_heap.size()));
  }
  if (units <= 0) return;
  Utf8Of(std::wstring_view(wide, static_cast<std::size_t>(units)), out);
}

std::optional<std::string> AnsiExact(std::string_view utf8) {
  // ASCII is the same in every ANSI code page; a UTF-8 system needs nothing.
  if (AsciiLength(utf8) == utf8.size() || ::GetACP() == CP_UTF8) return std::string(utf8);
  const std::wstring wide = Widen(utf8);
  BOOL lost = FALSE;
  const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                      static_cast<int>(wide.size()), nullptr, 0, nullptr, &lost);
  if (n <= 0 || lost) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                        ansi.data(), n, nullptr, &lost);
  // A character that only looked right would come back as another one.
  if (lost || DecodeCodePage(ansi, CP_ACP) != utf8) return std::nullopt;
  return ansi;
}

std::string AnsiWhereExact(std::string_view utf8) {
  return AnsiExact(utf8).value_or(std::string(utf8));
}

}  // namespace tallyrun::platform
