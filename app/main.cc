// Start-up: resolve the log file, then either record the command line's items
// and end, or hand over to the window.
#include <cerrno>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/terminal_text.h"
#include "app/window_program.h"
#include "core/build_facts.h"
#include "core/settings.h"
#include "platform/errors.h"
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
    if (!lines_.empty()) tallyrun::platform::TellUser(lines_, failed_);
  }
  void operator()(std::string line) {
    lines_.push_back(std::move(line));
    failed_ = true;
  }
  // Worth saying, but the work itself was done.
  void Note(std::string line) { lines_.push_back(std::move(line)); }
  bool failed() const { return failed_; }

 private:
  std::vector<std::string> lines_;
  bool failed_ = false;
};

constexpr char kUsage[] =
    "使い方: tallyrun [項目...]\n"
    "項目（ファイルやフォルダ）ごとに 1 行をログファイルに追記して終了します。\n"
    "項目を指定しないときはウィンドウを開きます。\n"
    "--help、-h、--version は、同じ名前の項目がカレントフォルダにないときだけ\n"
    "この説明や版を表示し、何も記録しません。詳しくは man tallyrun。\n";

// Every argument is an item, but a lone --help or --version that names
// nothing here is someone asking, not an item to record. An answer that
// cannot be shown (the output closed or full) is a failure, said on stderr.
std::optional<int> Answer(int argc, char** argv, bool output_closed) {
  if (argc != 2 || tallyrun::platform::Exists(argv[1])) return std::nullopt;
  const std::string_view argument = argv[1];
  std::string answer = kUsage;
  if (argument == "--version") {
    answer = std::string("tallyrun ") + tallyrun::kVersion + "\n";
  } else if (argument != "--help" && argument != "-h") {
    return std::nullopt;
  }
  if (!output_closed && std::fputs(answer.c_str(), stdout) >= 0 && std::fflush(stdout) == 0) {
    return 0;
  }
  const std::string why =
      output_closed ? "閉じられています" : tallyrun::platform::ReasonFromErrno(errno);
  tallyrun::platform::TellUser(
      {"「" + std::string(argument) + "」の答えを標準出力に書けません: " + why}, true);
  return 1;
}

// One note, so that a mistyped name is seen; the record itself stands.
void NoteMissing(Complaints& complain, const std::vector<std::string_view>& missing) {
  constexpr std::size_t kNamed = 10;
  if (missing.empty()) return;
  std::string note = "見つからないため日付なしで記録しました:";
  for (std::size_t i = 0; i < missing.size() && i < kNamed; ++i) {
    note += " 「" + tallyrun::TerminalText(missing[i]) + "」";
  }
  if (missing.size() > kNamed) note += " ほか " + std::to_string(missing.size() - kNamed) + " 件";
  complain.Note(note);
}

// Names the system cannot hold are refused before anything is recorded.
std::vector<std::string_view> Nameable(const std::vector<std::string>& named,
                                       Complaints& complain) {
  std::vector<std::string_view> items;
  items.reserve(named.size());
  for (const std::string& item : named) {
    if (const std::string why = tallyrun::platform::NameRefusal(item); !why.empty()) {
      complain("「" + tallyrun::TerminalText(item) + "」は記録できません: " + why);
    } else {
      items.push_back(item);
    }
  }
  return items;
}

void Report(const tallyrun::CommandLineOutcome& outcome, const std::string& log_file_path,
            Complaints& complain) {
  using tallyrun::TerminalText;
  for (const std::string& item : outcome.refused) {
    complain("「" + TerminalText(item) + "」は名前にタブか改行を含むため記録できません");
  }
  for (const std::string& item : outcome.unplaced) {
    complain("「" + TerminalText(item) +
             "」は相対パスですが、現在のフォルダが見つからないため記録できません");
  }
  if (!outcome.written.ok()) {
    complain("ログファイル「" + TerminalText(log_file_path) +
             "」に書き込めません: " + outcome.written.reason());
  } else {
    NoteMissing(complain, outcome.missing);
  }
}

int Record(int argc, char** argv, bool output_closed) {
  using namespace tallyrun;
  if (const std::optional<int> answered = Answer(argc, argv, output_closed)) return *answered;
  Complaints complain;
  platform::SystemEnv env;
  const ProgramPlaces places = platform::CurrentProgramPlaces();
  const SettingsLocation location = LocateSettings(places);
  const ResolvedLogFile resolved = ResolveLogFilePath(env, location);
  const std::string& LogFilePath = resolved.path;
  const std::vector<std::string> named = platform::CommandLineItems(argc, argv);
  // Records would go to the default log instead of the one the user chose.
  // The window starts as ever, and learns the reason itself (settings.h).
  if (!named.empty() && !resolved.settings_read.ok()) {
    complain("設定ファイル「" + TerminalText(location.settings_file) +
             "」を読めません: " + resolved.settings_read.reason());
    return 1;
  }
  // On a fresh account the per-user data folder that holds the default log
  // does not exist yet; the program's own folder always does, and a log the
  // user chose is never given folders.
  if (!places.program_directory_writable && LogFilePath == location.default_log_file) {
    // Should it fail, appending says why.
    (void)platform::MakeParentFolders(LogFilePath);
  }

  if (named.empty()) {
    complain(ShowWindowProgram(places.program_directory, location, LogFilePath));
    return 1;
  }

  const CommandLineOutcome outcome =
      RecordItems(env, LogFilePath, Nameable(named, complain), platform::CurrentDirectory());
  Report(outcome, LogFilePath, complain);
  return complain.failed() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const tallyrun::platform::ClosedStreams closed = tallyrun::platform::KeepStandardStreamsTaken();
  tallyrun::platform::TakeFileSizeLimitAsError();
  // Out of memory is a message and a status, never an abort.
  try {
    return Record(argc, argv, closed.output);
  } catch (const std::bad_alloc&) {
    tallyrun::platform::TellUser({"メモリが足りません"}, true);
    return 1;
  }
}
