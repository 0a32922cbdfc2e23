#include "platform/program_location.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "core/build_facts.h"
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

std::string InstalledWindowProgram(const std::string& program_directory) {
  return JoinPath(JoinPath(program_directory, kWindowProgramFromBindir), kWindowProgramName);
}

ProgramPlaces CurrentProgramPlaces() {
  ProgramPlaces places;
  places.program_directory = ProgramDirectory();
  // An installed copy's folder belongs to whoever installed it (the package
  // manager, for one), so it is never written, not even by root: settings and
  // log go to the user's own folders. Any other copy (a build tree, an
  // unpacked folder) keeps them beside itself while it can write there.
  const bool installed =
      ::access(InstalledWindowProgram(places.program_directory).c_str(), X_OK) == 0;
  places.program_directory_writable =
      !installed && ::access(places.program_directory.c_str(), W_OK) == 0;
  places.xdg_config_home = Variable("XDG_CONFIG_HOME");
  places.xdg_data_home = Variable("XDG_DATA_HOME");
  places.home = Variable("HOME");
  // A session without HOME (a service, `env -i`) still has a home folder;
  // an installed copy must not fall back to writing beside itself.
  if (places.home.empty()) {
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->pw_dir != nullptr) {
      places.home = user->pw_dir;
    }
  }
  return places;
}

}  // namespace tallyrun::platform
