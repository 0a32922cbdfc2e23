#include "tests/win32_test_support.h"

#include <filesystem>
#include <stdexcept>

#include "core/utf8.h"

namespace tallyrun::testing {
namespace {

void Check(bool ok, const char* what) {
  if (!ok)
    throw std::runtime_error(std::string(what) + " failed: " + std::to_string(::GetLastError()));
}

HANDLE Open(const std::string& path, DWORD access, DWORD creation, DWORD flags = 0) {
  return ::CreateFileW(W(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       creation, flags, nullptr);
}

}  // namespace

TempDir::TempDir() {
  static int counter = 0;
  path_ = U((std::filesystem::temp_directory_path() /
             ("tallyrun-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
              std::to_string(++counter)))
                .wstring());
  MakeFolder(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(W(path_), ec);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  const HANDLE h = Open(path, GENERIC_WRITE, CREATE_ALWAYS);
  Check(h != INVALID_HANDLE_VALUE, "CreateFileW");
  DWORD n = 0;
  const BOOL ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  ::CloseHandle(h);
  Check(ok && n == bytes.size(), "WriteFile");
}

std::string ReadBytes(const std::string& path) {
  const HANDLE h = Open(path, GENERIC_READ, OPEN_EXISTING);
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
  const HANDLE h = Open(path, FILE_WRITE_ATTRIBUTES, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  const BOOL ok = ::SetFileTime(h, nullptr, nullptr, &when);
  ::CloseHandle(h);
  Check(ok, "SetFileTime");
}

std::string Moment(const SYSTEMTIME& local) {
  wchar_t date[80], time[80];
  Check(::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 80,
                          nullptr) > 0 &&
            ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &local, nullptr, time, 80) > 0,
        "formatting a moment");
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
  Check(::CreatePipe(&read_end, &write_end, &inherit, 0), "CreatePipe");
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
  Check(started, "CreateProcessW");
  ::WaitForSingleObject(process.hProcess, INFINITE);
  Outcome outcome;
  ::GetExitCodeProcess(process.hProcess, &outcome.exit_code);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  // Messages come in the ANSI code page unless it cannot hold them.
  outcome.stderr_text = IsValidUtf8(bytes) ? bytes : platform::DecodeCodePage(bytes, CP_ACP);
  return outcome;
}

}  // namespace tallyrun::testing
