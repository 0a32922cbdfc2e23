#include "platform/program_start.h"

#include <cstdio>
#include <cstdlib>

namespace tallyrun::platform {

std::vector<std::string> CommandLineItems(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

// Any bytes but NUL make a name here, and NUL cannot reach us through argv.
std::string NameRefusal(std::string_view) { return {}; }

bool DesktopSession() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

void TellUser(const std::vector<std::string>& lines, bool /*failed*/) {
  for (const std::string& line : lines) std::fprintf(stderr, "tallyrun: %s\n", line.c_str());
}

}  // namespace tallyrun::platform
