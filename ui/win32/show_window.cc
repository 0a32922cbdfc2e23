// Started without items, Tallyrun.exe shows its window itself: Windows has
// no separate window program to hand over to.
#include <windows.h>

#include "app/window_program.h"
#include "platform/system_env.h"
#include "ui/win32/main_window.h"

namespace tallyrun {

std::string ShowWindowProgram(const std::string& /*program_directory*/,
                              const SettingsLocation& location, const std::string& log_file_path) {
  platform::SystemEnv env;
  ui::win32::Form1 form(env, location, log_file_path);
  if (!form.Show()) return "ウィンドウを開けません";
  const int code = ui::win32::RunMainLoop();
  ::ExitProcess(static_cast<UINT>(code));
}

}  // namespace tallyrun
