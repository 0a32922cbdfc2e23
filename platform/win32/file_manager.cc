#include "platform/file_manager.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace tallyrun::platform {
namespace {

std::wstring WindowsFolder() {
  wchar_t dir[MAX_PATH];
  DWORD n = ::GetEnvironmentVariableW(L"WINDIR", dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) n = ::GetWindowsDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L"C:\\Windows";
  return std::wstring(dir, n);
}

}  // namespace

// %WINDIR%\explorer.exe by its full path, never one found elsewhere: a folder
// in the explorer view ("/e,"), a file selected in its folder ("/select,").
// The path is quoted, so that blanks and commas stay inside it; Explorer
// reads its own command line, where a "\" before the closing quote is just a
// "\".
void ShowInFileManager(const std::string& path, bool folder) {
  const std::wstring explorer = WindowsFolder() + L"\\explorer.exe";
  std::wstring line =
      L"\"" + explorer + L"\" " + (folder ? L"/e," : L"/select,") + L"\"" + Widen(path) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(explorer.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
}

}  // namespace tallyrun::platform
