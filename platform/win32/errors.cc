#include "platform/errors.h"

#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"

namespace tallyrun::platform {

std::string ReasonFromSystemError(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
      return "ファイルが見つかりません";
    case ERROR_PATH_NOT_FOUND:
      return "フォルダが見つかりません";
    case ERROR_ACCESS_DENIED:
      return "アクセスが拒否されました";
    case ERROR_WRITE_PROTECT:
      return "書き込み禁止になっています";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "ほかのプログラムが使用中です";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "ディスクの空き容量が足りません";
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
      return "ファイル名が正しくありません";
    case ERROR_FILENAME_EXCED_RANGE:
      return "パスが長すぎます";
    case ERROR_NOT_READY:
      return "ドライブの準備ができていません";
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return "ネットワーク上の場所が見つかりません";
    default:
      break;
  }
  // The system's own words, in the user's language, for anything else.
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words = n > 0 ? std::wstring(text, n) : std::wstring();
  ::LocalFree(text);
  while (!words.empty() && (words.back() == L'\r' || words.back() == L'\n' || words.back() == L' '))
    words.pop_back();
  return "エラーが発生しました（" + (words.empty() ? std::to_string(code) : Narrow(words)) + "）";
}

std::string ReasonFromErrno(int error_number) {
  switch (error_number) {
    case ENOENT:
      return "ファイルまたはフォルダが見つかりません";
    case EACCES:
      return "アクセスが拒否されました";
    case ENOSPC:
      return "ディスクの空き容量が足りません";
    default:
      return "エラーが発生しました（" + std::string(std::strerror(error_number)) + "）";
  }
}

}  // namespace tallyrun::platform
