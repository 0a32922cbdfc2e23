// Shared helpers for the Windows tests: a temporary folder, whole-file reads
// and writes by wide path, moments as the user's locale writes them, and
// running Tallyrun.exe with a raw command line.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/win32/wide_text.h"

namespace tallyrun::testing {

inline std::wstring W(std::string_view utf8) { return platform::Widen(utf8); }
inline std::string U(std::wstring_view wide) { return platform::Narrow(wide); }

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // UTF-8, without a trailing "\".
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Sets a variable of this process, and so of the programs it starts, while it lives.
struct SetEnv {
  SetEnv(const wchar_t* name, const std::string& value) : name(name) {
    ::SetEnvironmentVariableW(name, W(value).c_str());
  }
  ~SetEnv() { ::SetEnvironmentVariableW(name, was); }
  const wchar_t* name;
  const wchar_t* was = _wgetenv(name);  // as the program started
};

void WriteBytes(const std::string& path, std::string_view bytes);
std::string ReadBytes(const std::string& path);
bool Exists(const std::string& path);
void MakeFolder(const std::string& path);
// Sets the last-write moment, given in local time.
void SetModified(const std::string& path, const SYSTEMTIME& local);

// The short date, a blank and the long time; the date alone at midnight.
std::string Moment(const SYSTEMTIME& local);
inline SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  return {year, month, 0, day, hour, minute, second, 0};
}

// The folder holding this test program (and Tallyrun.exe beside it).
std::string TestProgramFolder();

struct Outcome {
  DWORD exit_code = 0;
  std::string stderr_text;  // UTF-8
};

// Runs `exe` with `arguments` as the raw text after its name, in `folder`,
// with the error stream handed over as a pipe.
Outcome RunProgram(const std::string& exe, const std::wstring& arguments,
                   const std::string& folder);

}  // namespace tallyrun::testing
