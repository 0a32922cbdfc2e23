// Started without items, Tallyrun.exe shows its window itself: Windows has
// no separate window program to hand over to.
#include <windows.h>

#include "app/window_program.h"
#include "platform/system_env.h"
#include "ui/main/main_window.h"
#include "ui/win32/form_window.h"

namespace tallyrun {

std::string ShowWindowProgram(const std::string& /*program_directory*/,
                              const SettingsLocation& location, const std::string& log_file_path) {
  platform::SystemEnv env;
  ui::Form1 form(env, location, log_file_path);
  ui::win32::FormWindow window(form);
  if (!window.made()) return "ウィンドウを開けません";
  window.Show();
  form.StartUp(ResolveLogFilePath(env, location).settings_read);
  window.RunUntilClosed();
  ::ExitProcess(0);
}

}  // namespace tallyrun
