// Start-up: resolve the log file, then either record the command line's items
// and end, or hand over to the window.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/terminal_text.h"
#include "app/window_program.h"
#include "core/build_facts.h"
#include "core/settings.h"
#include "platform/files.h"
#include "platform/program_location.h"
#include "platform/system_env.h"

namespace {

void Complain(const std::string& message) {
  std::fprintf(stderr, "tallyrun: %s\n", message.c_str());
}

constexpr char kUsage[] =
    "使い方: tallyrun [項目...]\n"
    "項目（ファイルやフォルダ）ごとに 1 行をログファイルに追記して終了します。\n"
    "項目を指定しないときはウィンドウを開きます。\n"
    "--help、-h、--version は、同じ名前の項目がカレントフォルダにないときだけ\n"
    "この説明や版を表示し、何も記録しません。詳しくは man tallyrun。\n";

// Every argument is an item, but a lone --help or --version that names
// nothing here is someone asking, not an item to record.
bool AnsweredQuestion(int argc, char** argv) {
  if (argc != 2 || tallyrun::platform::Exists(argv[1])) return false;
  const std::string_view argument = argv[1];
  if (argument == "--help" || argument == "-h") {
    std::fputs(kUsage, stdout);
    return true;
  }
  if (argument == "--version") {
    std::printf("tallyrun %s\n", tallyrun::kVersion);
    return true;
  }
  return false;
}

// One note, so that a mistyped name is seen; the record itself stands.
void NoteMissing(const std::vector<std::string_view>& missing) {
  constexpr std::size_t kNamed = 10;
  if (missing.empty()) return;
  std::string note = "見つからないため日付なしで記録しました:";
  for (std::size_t i = 0; i < missing.size() && i < kNamed; ++i) {
    note += " 「" + tallyrun::TerminalText(missing[i]) + "」";
  }
  if (missing.size() > kNamed) note += " ほか " + std::to_string(missing.size() - kNamed) + " 件";
  Complain(note);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tallyrun;
  if (AnsweredQuestion(argc, argv)) return 0;
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
  if (!outcome.written.ok()) {
    Complain("ログファイル「" + TerminalText(LogFilePath) +
             "」に書き込めません: " + outcome.written.reason());
  } else {
    NoteMissing(outcome.missing);
  }
  return outcome.refused.empty() && outcome.written.ok() ? 0 : 1;
}
