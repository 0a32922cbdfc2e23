#include "platform/clock.h"

#include <windows.h>

namespace tallyrun::platform {
namespace {

LocalTime FromSystemTime(const SYSTEMTIME& t) {
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace

LocalTime ToLocalTime(std::time_t seconds) {
  // Seconds since 1970 in the 100-nanosecond steps since 1601 that FILETIME counts.
  const ULONGLONG ticks = (static_cast<ULONGLONG>(seconds) + 11644473600ULL) * 10000000ULL;
  FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME universal, local;
  if (!::FileTimeToSystemTime(&utc, &universal) ||
      !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
    return {};
  }
  return FromSystemTime(local);
}

LocalTime LocalNow() {
  SYSTEMTIME local;
  ::GetLocalTime(&local);
  return FromSystemTime(local);
}

}  // namespace tallyrun::platform
