#include "platform/process_start.h"

#include <windows.h>

#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"

namespace tallyrun::platform {
namespace {

// One argument as the C runtime's splitting reads it back.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  out.push_back(L'"');
  return out;
}

std::wstring CommandLineOf(const std::vector<std::string>& argv) {
  std::wstring line;
  for (const std::string& a : argv) {
    if (!line.empty()) line.push_back(L' ');
    line.append(Quoted(Widen(a)));
  }
  return line;
}

}  // namespace

bool StartDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::wstring line = CommandLineOf(argv);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

// Windows cannot replace a process: the program is started, waited for, and
// its exit code becomes ours.
std::string ReplaceProcess(const std::string& program, const std::vector<std::string>& argv) {
  std::wstring line = CommandLineOf(argv);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(Widen(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    return ReasonFromSystemError(::GetLastError());
  }
  ::CloseHandle(process.hThread);
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::ExitProcess(code);
}

}  // namespace tallyrun::platform
