// Shared helpers for the tests on the real system, wherever it is built: a
// temporary folder that cleans up after itself, whole files by UTF-8 path, an
// item's modified moment, and an environment whose clock stands still.
#pragma once

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

void WriteFile(const std::string& path, std::string_view contents);
// Empty when there is no such file.
std::string ReadFile(const std::string& path);
void MakeFolder(const std::string& path);
// In local time.
void SetModified(const std::string& path, const LocalTime& when);

// The real system, but the clock reads `now`.
class PinnedClockEnv : public platform::SystemEnv {
 public:
  explicit PinnedClockEnv(LocalTime now) : now_(now) {}
  LocalTime Now() override { return now_; }

 private:
  LocalTime now_;
};

}  // namespace tallyrun::testing
