// The program's one setting, the log file's path: where the settings file and
// the default log live, resolving the path at start-up, and saving it on close.
#pragma once

#include <string>

#include "core/env.h"
#include "core/status.h"

namespace tallyrun {

inline constexpr char kSettingsSection[] = "Tallyrun";
inline constexpr char kSettingsKey[] = "LogFile";
inline constexpr char kDefaultValue[] = "Default";

// What start-up knows about where the program sits.
struct ProgramPlaces {
  std::string program_directory;
  bool program_directory_writable = true;
  std::string xdg_config_home;  // empty when unset
  std::string xdg_data_home;
  std::string home;
  // The user's application data folder on systems that have one (%APPDATA%).
  std::string app_data = {};
};

struct SettingsLocation {
  std::string settings_file;
  std::string default_log_file;
};

// Beside the program; in the user's own folders when the program's folder
// cannot be written (a system-wide install).
SettingsLocation LocateSettings(const ProgramPlaces& places);

struct ResolvedLogFile {
  std::string path;
  // Why a settings file that is there could not be read (another program
  // holds it locked, no permission); `path` is then the default log's, where
  // nothing may be recorded unnoticed. A window started without items can
  // show it: it resolves again from the same location to learn it.
  Status settings_read = Status::Ok();
};

// Any stored value other than "Default" is used exactly as it stands, even
// when empty. A file without a byte order mark is read by the rule of
// text_reading.h; a value that is neither UTF-8 nor CP932 keeps its bytes,
// which make a name here.
ResolvedLogFile ResolveLogFilePath(Env& env, const SettingsLocation& location);

// Writes `shown` only when it differs from `log_file_path`, so a settings
// file that never existed stays absent while the default log is in use. It
// is stored as Windows' own profile functions read it back: in a file with a
// byte order mark as that file is; otherwise in the system's code page when
// that holds it and it reads back from there, else with the whole file turned
// into UTF-16 with its mark.
Status SaveLogFilePath(Env& env, const SettingsLocation& location, const std::string& shown,
                       const std::string& log_file_path);

}  // namespace tallyrun
