#include "tests/test_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include "tests/win32_test_support.h"
#else
#include <time.h>
#include <utime.h>
#endif

namespace tallyrun::testing {

#ifdef _WIN32
std::filesystem::path Native(const std::string& path) { return W(path); }
#else
std::filesystem::path Native(const std::string& path) { return path; }

std::string Moment(const LocalTime& t) {
  char text[64];
  const int date = std::snprintf(text, sizeof text, "%04d/%02d/%02d", t.year, t.month, t.day);
  if (t.hour != 0 || t.minute != 0 || t.second != 0)
    std::snprintf(text + date, sizeof text - date, " %d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}
#endif

TempDir::TempDir() {
  std::random_device random;
  std::filesystem::path made;
  do {
    made = std::filesystem::temp_directory_path() / ("tallyrun-test-" + std::to_string(random()));
  } while (!std::filesystem::create_directory(made));
#ifdef _WIN32
  path_ = U(made.wstring());
#else
  path_ = made.string();
#endif
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(Native(path_), ignored);
}

void WriteFile(const std::string& path, std::string_view contents) {
  if (!(std::ofstream(Native(path), std::ios::binary) << contents))
    throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(Native(path), std::ios::binary).rdbuf();
  return s.str();
}

void MakeFolder(const std::string& path) { std::filesystem::create_directory(Native(path)); }

void SetModified(const std::string& path, const LocalTime& when) {
#ifdef _WIN32
  const SYSTEMTIME local = SystemTimeOf(when);
  SYSTEMTIME universal;
  FILETIME at;
  const HANDLE h = ::CreateFileW(Native(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const bool set = ::TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) &&
                   ::SystemTimeToFileTime(&universal, &at) &&
                   ::SetFileTime(h, nullptr, nullptr, &at);
  ::CloseHandle(h);
#else
  struct tm t {};
  t.tm_year = when.year - 1900, t.tm_mon = when.month - 1, t.tm_mday = when.day;
  t.tm_hour = when.hour, t.tm_min = when.minute, t.tm_sec = when.second, t.tm_isdst = -1;
  struct utimbuf times {};
  times.actime = times.modtime = ::mktime(&t);
  const bool set = ::utime(path.c_str(), &times) == 0;
#endif
  if (!set) throw std::runtime_error("cannot set the time of " + path);
}

}  // namespace tallyrun::testing
