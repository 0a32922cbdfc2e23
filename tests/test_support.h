// Shared helpers for the tests on the real system, wherever it is built: a
// temporary folder that cleans up after itself, whole files by UTF-8 path, an
// item's modified moment and how the log shows a moment, how a program run
// ended, and an environment whose clock stands still.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

#include "core/build_facts.h"
#include "platform/system_env.h"

namespace tallyrun::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Without a trailing separator.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + kPathSeparator + name; }

 private:
  std::string path_;
};

// Paths are UTF-8 in the program; the system takes them in its own form.
std::filesystem::path Native(const std::string& path);

void WriteFile(const std::string& path, std::string_view contents);
// Empty when there is no such file.
std::string ReadFile(const std::string& path);
void MakeFolder(const std::string& path);
// In local time.
void SetModified(const std::string& path, const LocalTime& when);
// As the log shows it (on Windows, in the user's forms): the date alone at midnight.
std::string Moment(const LocalTime& t);

// How a program run by a test ended.
struct Outcome {
  unsigned exit_code = 0;   // 256 and up: killed
  std::string stderr_text;  // UTF-8
  bool operator==(const Outcome&) const = default;
};
inline void PrintTo(const Outcome& o, std::ostream* out) {
  *out << "exit " << o.exit_code << ", stderr \"" << o.stderr_text << '"';
}

// The real system, but the clock reads `now`.
struct PinnedClockEnv : platform::SystemEnv {
  explicit PinnedClockEnv(LocalTime at) : now(at) {}
  LocalTime Now() override { return now; }
  const LocalTime now;
};

}  // namespace tallyrun::testing
