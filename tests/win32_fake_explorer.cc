// Stands in for %WINDIR%\explorer.exe in the window tests: appends the command
// line it was started with to the file named by TALLYRUN_EXPLORER_LOG.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t log[MAX_PATH];
  if (::GetEnvironmentVariableW(L"TALLYRUN_EXPLORER_LOG", log, MAX_PATH) == 0) return 1;
  const std::wstring line = std::wstring(::GetCommandLineW()) + L"\n";
  const HANDLE h = ::CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  ::WriteFile(h, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
  ::CloseHandle(h);
  return 0;
}
