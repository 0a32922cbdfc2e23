#include "tests/win32_test_support.h"

#include <stdexcept>

#include "core/utf8.h"

namespace tallyrun::testing {

// The user's short date, a blank and the long time.
std::string Moment(const LocalTime& t) {
  const SYSTEMTIME local = SystemTimeOf(t);
  wchar_t date[80], time[80];
  if (::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 80,
                        nullptr) == 0 ||
      ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &local, nullptr, time, 80) == 0)
    throw std::runtime_error("cannot format a moment");
  if (local.wHour == 0 && local.wMinute == 0 && local.wSecond == 0) return U(date);
  return U(std::wstring(date) + L" " + time);
}

std::string TestProgramFolder() {
  wchar_t name[32768];
  const std::wstring path(name, ::GetModuleFileNameW(nullptr, name, 32768));
  return U(path.substr(0, path.find_last_of(L'\\')));
}

Outcome RunProgram(const std::string& exe, const std::wstring& arguments,
                   const std::string& folder) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!::CreatePipe(&read_end, &write_end, &inherit, 0)) throw std::runtime_error("no pipe");
  ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  std::wstring line = L"\"" + W(exe) + L"\"";
  if (!arguments.empty()) line += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = write_end;
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(W(exe).c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, W(folder).c_str(), &startup, &process);
  ::CloseHandle(write_end);
  std::string bytes;
  char buffer[4096];
  DWORD n = 0;
  while (started && ::ReadFile(read_end, buffer, sizeof buffer, &n, nullptr) && n > 0)
    bytes.append(buffer, n);
  ::CloseHandle(read_end);
  if (!started) throw std::runtime_error("cannot start " + exe);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  // Messages come in the ANSI code page unless it cannot hold them.
  return {code, IsValidUtf8(bytes) ? bytes : platform::DecodeCodePage(bytes, CP_ACP)};
}

}  // namespace tallyrun::testing
