#include "platform/system_env.h"

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/files.h"

namespace tallyrun::platform {

LocalTime SystemEnv::Now() { return LocalNow(); }

// Every log reads the same on every system here: there is no system-wide
// date form to follow.
void SystemEnv::AppendMomentText(std::string& out, const LocalTime& t) {
  AppendDateTimeText(out, t);
}

std::optional<ItemFacts> SystemEnv::FactsOf(const std::string& path) { return ItemFactsOf(path); }

Status SystemEnv::AppendLines(const std::string& path, std::string_view lines) {
  return platform::AppendLines(path, lines);
}

Status SystemEnv::ReadChunks(const std::string& path,
                             const std::function<bool(std::string_view)>& sink) {
  return platform::ReadChunks(path, sink);
}

Status SystemEnv::ReplaceFile(const std::string& path, std::string_view contents) {
  return platform::ReplaceFile(path, contents);
}

std::string SystemEnv::DecodeLegacyText(std::string_view bytes) { return Cp932ToUtf8(bytes); }

}  // namespace tallyrun::platform
