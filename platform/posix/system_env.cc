#include "platform/system_env.h"

#include "core/date_time_text.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/posix/code_page.h"

namespace tallyrun::platform {

LocalTime SystemEnv::Now() { return LocalNow(); }

// Every log reads the same on every system here: there is no system-wide
// date form to follow.
void SystemEnv::AppendMomentText(std::string& out, const LocalTime& t) {
  AppendDateTimeText(out, t);
}

void SystemEnv::DecodeLegacyText(std::string_view bytes, std::string& out) {
  out = Cp932ToUtf8(bytes);
}

// Files here are read in UTF-8, and a name is its bytes.
std::optional<std::string> SystemEnv::SystemCodePageText(std::string_view text) {
  return std::string(text);
}

}  // namespace tallyrun::platform
