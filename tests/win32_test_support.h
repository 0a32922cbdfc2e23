// What the Windows tests add to the shared helpers: wide text, moments as
// Windows takes them, and running Tallyrun.exe with a raw command line.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/win32/wide_text.h"
#include "tests/test_support.h"

namespace tallyrun::testing {

inline std::wstring W(std::string_view utf8) { return platform::Widen(utf8); }
inline std::string U(std::wstring_view wide) { return platform::Narrow(wide); }

// Sets a variable of this process, and so of the programs it starts, while it lives.
struct SetEnv {
  SetEnv(const wchar_t* name, const std::string& value) : name(name) {
    ::SetEnvironmentVariableW(name, W(value).c_str());
  }
  ~SetEnv() { ::SetEnvironmentVariableW(name, was); }
  const wchar_t* name;
  const wchar_t* was = _wgetenv(name);  // as the program started
};

inline SYSTEMTIME SystemTimeOf(const LocalTime& t) {
  const auto w = [](int v) { return static_cast<WORD>(v); };
  return {w(t.year), w(t.month), 0, w(t.day), w(t.hour), w(t.minute), w(t.second), 0};
}
// The folder holding this test program (and Tallyrun.exe beside it).
std::string TestProgramFolder();

// Runs `exe` with `arguments` as the raw text after its name, in `folder`,
// with the error stream handed over as a pipe.
Outcome RunProgram(const std::string& exe, const std::wstring& arguments,
                   const std::string& folder);

}  // namespace tallyrun::testing
