#include "app/window_program.h"

#include <vector>

#include "app/terminal_text.h"
#include "core/build_facts.h"
#include "core/paths.h"
#include "platform/files.h"
#include "platform/process_start.h"
#include "platform/program_location.h"

namespace tallyrun {

std::string ShowWindowProgram(const std::string& program_directory,
                              const SettingsLocation& location, const std::string& log_file_path) {
  // Beside the program in a build tree; under libexec once installed.
  const std::string candidates[] = {
      JoinPath(program_directory, kWindowProgramName),
      platform::InstalledWindowProgram(program_directory),
  };
  for (const std::string& program : candidates) {
    if (!platform::Exists(program)) continue;
    const std::string reason = platform::ReplaceProcess(
        program, {kWindowProgramName, location.settings_file, log_file_path});
    return "ウィンドウのプログラム「" + TerminalText(program) + "」を起動できません: " + reason;
  }
  return "ウィンドウのプログラムが見つかりません: 「" + TerminalText(candidates[0]) + "」も「" +
         TerminalText(candidates[1]) + "」もありません";
}

}  // namespace tallyrun
