// The seam's file services, the same on every system: each system's
// system_env.cc adds the clock, the moment's form and the legacy code page.
#include "platform/system_env.h"

#include "platform/files.h"

namespace tallyrun::platform {

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

}  // namespace tallyrun::platform
