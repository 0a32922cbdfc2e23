#include "tests/test_support.h"

#include <stdlib.h>
#include <time.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tallyrun::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tallyrun-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& contents) {
  if (!(std::ofstream(path, std::ios::binary) << contents))
    throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

void SetModified(const std::string& path, const LocalTime& when) {
  struct tm t {};
  t.tm_year = when.year - 1900, t.tm_mon = when.month - 1, t.tm_mday = when.day;
  t.tm_hour = when.hour, t.tm_min = when.minute, t.tm_sec = when.second, t.tm_isdst = -1;
  struct utimbuf times {};
  times.actime = times.modtime = ::mktime(&t);
  if (::utime(path.c_str(), &times) != 0) throw std::runtime_error("utime failed");
}

}  // namespace tallyrun::testing
