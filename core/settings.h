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

// Any stored value other than "Default" is used exactly as it stands, even
// when empty.
std::string ResolveLogFilePath(Env& env, const SettingsLocation& location);

// Writes `shown` only when it differs from `log_file_path`, so a settings
// file that never existed stays absent while the default log is in use.
Status SaveLogFilePath(Env& env, const SettingsLocation& location, const std::string& shown,
                       const std::string& log_file_path);

}  // namespace tallyrun
