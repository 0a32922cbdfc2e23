// Start-up: resolve the log file, then either record the command line's items
// and end, or hand over to the window.
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/terminal_text.h"
#include "app/window_program.h"
#include "core/settings.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/program_start.h"
#include "platform/system_env.h"

namespace {

// Everything the user must hear, told at once at the end: where a message
// box stands in for the error stream, one box rather than one per item.
class Complaints {
 public:
  ~Complaints() {
    if (!lines_.empty()) tallyrun::platform::TellUser(lines_);
  }
  void operator()(std::string line) { lines_.push_back(std::move(line)); }
  bool any() const { return !lines_.empty(); }

 private:
  std::vector<std::string> lines_;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace tallyrun;
  Complaints complain;
  platform::SystemEnv env;
  const ProgramPlaces places = platform::CurrentProgramPlaces();
  const SettingsLocation location = LocateSettings(places);
  const std::string LogFilePath = ResolveLogFilePath(env, location);
  // On a fresh account the per-user data folder that holds the default log
  // does not exist yet; the program's own folder always does, and a log the
  // user chose is never given folders.
  if (!places.program_directory_writable && LogFilePath == location.default_log_file) {
    platform::MakeParentFolders(LogFilePath);
  }

  const std::vector<std::string> named = platform::CommandLineItems(argc, argv);
  if (named.empty()) {
    complain(ShowWindowProgram(places.program_directory, location, LogFilePath));
    return 1;
  }

  std::vector<std::string_view> items;
  items.reserve(named.size());
  for (const std::string& item : named) {
    if (const std::string why = platform::NameRefusal(item); !why.empty()) {
      complain("「" + TerminalText(item) + "」は記録できません: " + why);
    } else {
      items.push_back(item);
    }
  }
  const CommandLineOutcome outcome =
      RecordItems(env, LogFilePath, items, platform::CurrentDirectory());
  for (const std::string& item : outcome.refused) {
    complain("「" + TerminalText(item) + "」は名前にタブか改行を含むため記録できません");
  }
  if (!outcome.written.ok()) {
    complain("ログファイル「" + TerminalText(LogFilePath) +
             "」に書き込めません: " + outcome.written.reason());
  }
  return complain.any() ? 1 : 0;
}
