#include "platform/program_location.h"

#include <unistd.h>

#include <cstdlib>

#include "core/paths.h"

namespace tallyrun::platform {
namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

std::string ProgramDirectory() {
  std::string target(4096, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", target.data(), target.size());
    if (n < 0) return ".";
    if (static_cast<std::size_t>(n) < target.size()) {
      target.resize(static_cast<std::size_t>(n));
      break;
    }
    target.resize(target.size() * 2);
  }
  return FolderOf(target);
}

ProgramPlaces CurrentProgramPlaces() {
  ProgramPlaces places;
  places.program_directory = ProgramDirectory();
  places.program_directory_writable = ::access(places.program_directory.c_str(), W_OK) == 0;
  places.xdg_config_home = Variable("XDG_CONFIG_HOME");
  places.xdg_data_home = Variable("XDG_DATA_HOME");
  places.home = Variable("HOME");
  return places;
}

}  // namespace tallyrun::platform
