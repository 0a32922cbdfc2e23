#include "platform/clock.h"

#include <time.h>

namespace tallyrun::platform {

LocalTime ToLocalTime(std::time_t seconds) {
  struct tm tm {};
  // A year the date form cannot hold comes back as none at all, before
  // adding 1900 could overflow.
  if (::localtime_r(&seconds, &tm) == nullptr || tm.tm_year < -1899 || tm.tm_year > 9999 - 1900) {
    return {};
  }
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

LocalTime LocalNow() {
  // Whole seconds are all a record shows; time() reads them without asking the
  // hardware clock, which is slow inside virtual machines.
  return ToLocalTime(::time(nullptr));
}

}  // namespace tallyrun::platform
