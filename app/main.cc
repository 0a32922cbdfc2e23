// Start-up: resolve the log file, then either record the command line's items
// and end, or hand over to the window.
#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/terminal_text.h"
#include "app/window_program.h"
#include "core/settings.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/system_env.h"

namespace {

void Complain(const std::string& message) {
  std::fprintf(stderr, "tallyrun: %s\n", message.c_str());
}

int Record(int argc, char** argv) {
  using namespace tallyrun;
  platform::SystemEnv env;
  const ProgramPlaces places = platform::CurrentProgramPlaces();
  const SettingsLocation location = LocateSettings(places);
  const std::string LogFilePath = ResolveLogFilePath(env, location);
  // On a fresh account the per-user data folder that holds the default log
  // does not exist yet; the program's own folder always does, and a log the
  // user chose is never given folders.
  if (!places.program_directory_writable && LogFilePath == location.default_log_file) {
    // Should it fail, appending says why.
    (void)platform::MakeParentFolders(LogFilePath);
  }

  if (argc <= 1) {
    Complain(ShowWindowProgram(places.program_directory, location, LogFilePath));
    return 1;
  }

  const std::vector<std::string_view> items(argv + 1, argv + argc);
  const CommandLineOutcome outcome =
      RecordItems(env, LogFilePath, items, platform::CurrentDirectory());
  for (const std::string& item : outcome.refused) {
    Complain("「" + TerminalText(item) + "」は名前にタブか改行を含むため記録できません");
  }
  for (const std::string& item : outcome.unplaced) {
    Complain("「" + TerminalText(item) +
             "」は相対パスですが、現在のフォルダが見つからないため記録できません");
  }
  if (!outcome.written.ok()) {
    Complain("ログファイル「" + TerminalText(LogFilePath) +
             "」に書き込めません: " + outcome.written.reason());
  }
  return outcome.refused.empty() && outcome.unplaced.empty() && outcome.written.ok() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  tallyrun::platform::TakeFileSizeLimitAsError();
  // Out of memory is a message and a status, never an abort.
  try {
    return Record(argc, argv);
  } catch (const std::bad_alloc&) {
    Complain("メモリが足りません");
    return 1;
  }
}
