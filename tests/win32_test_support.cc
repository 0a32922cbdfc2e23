#include "tests/win32_test_support.h"

#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/win32/wide_text.h"

namespace tallyrun::testing {
namespace {

void Check(bool ok, const char* what) {
  if (!ok)
    throw std::runtime_error(std::string(what) + " failed: " + std::to_string(::GetLastError()));
}

// Read-only files cannot be deleted; clear the bit first.
void ClearReadOnly(const std::filesystem::path& root) {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    ::SetFileAttributesW(it->path().c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

}  // namespace

std::wstring W(std::string_view utf8) { return tallyrun::platform::Widen(utf8); }

std::string U(std::wstring_view wide) { return tallyrun::platform::Narrow(wide); }

TempDir::TempDir() {
  static int counter = 0;
  wchar_t temp[MAX_PATH + 1];
  Check(::GetTempPathW(MAX_PATH + 1, temp) > 0, "GetTempPathW");
  std::wstring dir = std::wstring(temp) + L"tallyrun-test-" +
                     std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
  Check(::CreateDirectoryW(dir.c_str(), nullptr), "CreateDirectoryW");
  path_ = U(dir);
}

TempDir::~TempDir() {
  ClearReadOnly(W(path_));
  std::error_code ec;
  std::filesystem::remove_all(W(path_), ec);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  const HANDLE h = ::CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  Check(h != INVALID_HANDLE_VALUE, "CreateFileW");
  DWORD n = 0;
  const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  ::CloseHandle(h);
  Check(ok && n == bytes.size(), "WriteFile");
}

std::string ReadBytes(const std::string& path) {
  const HANDLE h = ::CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "(missing)";
  std::string bytes;
  char buffer[65536];
  DWORD n = 0;
  while (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  ::CloseHandle(h);
  return bytes;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesW(W(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFolder(const std::string& path) {
  Check(::CreateDirectoryW(W(path).c_str(), nullptr), "CreateDirectoryW");
}

void SetModified(const std::string& path, const SYSTEMTIME& local) {
  SYSTEMTIME universal;
  FILETIME when;
  Check(::TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) &&
            ::SystemTimeToFileTime(&universal, &when),
        "converting a local time");
  const HANDLE h =
      ::CreateFileW(W(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  Check(h != INVALID_HANDLE_VALUE, "opening to set the time");
  const BOOL ok = ::SetFileTime(h, nullptr, nullptr, &when);
  ::CloseHandle(h);
  Check(ok, "SetFileTime");
}

std::string Moment(const SYSTEMTIME& local) {
  wchar_t date[80], time[80];
  Check(::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 80,
                          nullptr) > 0,
        "GetDateFormatEx");
  if (local.wHour == 0 && local.wMinute == 0 && local.wSecond == 0) return U(date);
  Check(::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &local, nullptr, time, 80) > 0,
        "GetTimeFormatEx");
  return U(std::wstring(date) + L" " + time);
}

SYSTEMTIME At(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(year);
  t.wMonth = static_cast<WORD>(month);
  t.wDay = static_cast<WORD>(day);
  t.wHour = static_cast<WORD>(hour);
  t.wMinute = static_cast<WORD>(minute);
  t.wSecond = static_cast<WORD>(second);
  return t;
}

std::string TestProgramFolder() {
  wchar_t name[32768];
  const DWORD n = ::GetModuleFileNameW(nullptr, name, 32768);
  std::wstring path(name, n);
  return U(path.substr(0, path.find_last_of(L'\\')));
}

Outcome RunProgram(const std::string& exe, const std::wstring& arguments, const std::string& folder,
                   const std::wstring& environment_extra) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  Check(::CreatePipe(&read_end, &write_end, &inherit, 0), "CreatePipe");
  ::SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  const HANDLE nul =
      ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);

  // The environment block: ours, with the extra variable in place of its namesake.
  const std::wstring extra_name = environment_extra.substr(0, environment_extra.find(L'=') + 1);
  std::vector<wchar_t> environment;
  wchar_t* own = ::GetEnvironmentStringsW();
  for (const wchar_t* at = own; *at != L'\0'; at += wcslen(at) + 1) {
    if (!extra_name.empty() && _wcsnicmp(at, extra_name.c_str(), extra_name.size()) == 0) continue;
    environment.insert(environment.end(), at, at + wcslen(at) + 1);
  }
  ::FreeEnvironmentStringsW(own);
  if (!environment_extra.empty()) {
    environment.insert(environment.end(), environment_extra.begin(), environment_extra.end());
    environment.push_back(L'\0');
  }
  environment.push_back(L'\0');

  std::wstring line = L"\"" + W(exe) + L"\"";
  if (!arguments.empty()) line += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = nul;
  startup.hStdError = write_end;
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(W(exe).c_str(), line.data(), nullptr, nullptr, TRUE,
                                        CREATE_UNICODE_ENVIRONMENT, environment.data(),
                                        W(folder).c_str(), &startup, &process);
  ::CloseHandle(write_end);
  ::CloseHandle(nul);
  if (!started) {
    ::CloseHandle(read_end);
    Check(false, "CreateProcessW");
  }
  std::string bytes;
  char buffer[4096];
  DWORD n = 0;
  while (::ReadFile(read_end, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
  ::CloseHandle(read_end);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  Outcome outcome;
  ::GetExitCodeProcess(process.hProcess, &outcome.exit_code);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);

  // Messages come in the ANSI code page unless it cannot hold them.
  const bool utf8 = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                          static_cast<int>(bytes.size()), nullptr, 0) > 0;
  if (utf8 || bytes.empty()) {
    outcome.stderr_text = bytes;
  } else {
    std::wstring wide(bytes.size(), L'\0');
    const int m = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                        wide.data(), static_cast<int>(wide.size()));
    outcome.stderr_text = U(std::wstring_view(wide.data(), static_cast<std::size_t>(m)));
  }
  return outcome;
}

}  // namespace tallyrun::testing
