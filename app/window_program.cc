#include "app/window_program.h"

#include <vector>

#include "core/build_facts.h"
#include "platform/files.h"
#include "platform/process_start.h"

namespace tallyrun {

std::string ShowWindowProgram(const std::string& program_directory,
                              const SettingsLocation& location, const std::string& log_file_path) {
  // Beside the program in a build tree; under libexec once installed.
  const std::string candidates[] = {
      program_directory + "/" + kWindowProgramName,
      program_directory + "/" + kWindowProgramFromBindir + "/" + kWindowProgramName,
  };
  for (const std::string& program : candidates) {
    if (!platform::Exists(program)) continue;
    return platform::ReplaceProcess(program,
                                    {kWindowProgramName, location.settings_file, log_file_path});
  }
  return "ウィンドウのプログラム（" + std::string(kWindowProgramName) + "）が見つかりません";
}

}  // namespace tallyrun
