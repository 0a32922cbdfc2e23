// Shared helpers for tests: a temporary folder that cleans up after itself,
// whole-file reads and writes, and an environment with a pinned clock.
#pragma once

#include <string>

#include "platform/system_env.h"

namespace tallyrun::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
// Sets the modification time, in local time.
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
