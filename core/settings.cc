#include "core/settings.h"

#include <optional>

#include "core/build_facts.h"
#include "core/profile.h"
#include "core/utf8.h"

namespace tallyrun {
namespace {

// Relative values are ignored, as the XDG base-directory rules say.
std::string BaseDirectory(const std::string& value, const std::string& home, const char* fallback) {
  if (!value.empty() && value.front() == '/') return value;
  return home + fallback;
}

// The key of a real settings file sits in its first kilobytes; reading no
// further keeps a huge or endless file (linked to a device or /proc) cheap.
constexpr std::size_t kLongestSettingsFile = std::size_t{1} << 20;

// `complete` tells whether the whole file fitted within the bound.
Status ReadSettingsText(Env& env, const std::string& path, std::string& text, bool& complete) {
  complete = true;
  return env.ReadChunks(path, 0, [&text, &complete](std::string_view piece) {
    const std::size_t room = kLongestSettingsFile - text.size();
    text.append(piece.substr(0, room));
    complete = piece.size() <= room;
    return complete;
  });
}

}  // namespace

SettingsLocation LocateSettings(const ProgramPlaces& places) {
  if (places.program_directory_writable || (places.home.empty() && places.app_data.empty())) {
    const std::string beside = places.program_directory + kPathSeparator;
    return {beside + "Tallyrun.ini", beside + "Tallyrun.log"};
  }
  if (!places.app_data.empty()) {
    const std::string own = places.app_data + kPathSeparator + "Tallyrun" + kPathSeparator;
    return {own + "Tallyrun.ini", own + "Tallyrun.log"};
  }
  return {
      BaseDirectory(places.xdg_config_home, places.home, "/.config") + "/tallyrun/Tallyrun.ini",
      BaseDirectory(places.xdg_data_home, places.home, "/.local/share") + "/tallyrun/Tallyrun.log"};
}

std::string ResolveLogFilePath(Env& env, const SettingsLocation& location) {
  std::string text;
  std::string value = kDefaultValue;
  bool complete;
  if (ReadSettingsText(env, location.settings_file, text, complete).ok()) {
    if (std::optional<std::string> stored = ProfileValue(text, kSettingsSection, kSettingsKey)) {
      if (IsValidUtf8(*stored)) {
        value = std::move(*stored);
      } else {
        env.DecodeLegacyText(*stored, value);
      }
    }
  }
  if (value != kDefaultValue) return value;
  return location.default_log_file;
}

Status SaveLogFilePath(Env& env, const SettingsLocation& location, const std::string& shown,
                       const std::string& log_file_path) {
  if (shown == log_file_path) return Status::Ok();
  if (shown.find_first_of("\r\n") != std::string::npos) {
    return Status::Failure("改行を含むパスは設定に保存できません");
  }
  std::string text;
  if (env.FactsOf(location.settings_file)) {
    // Never replace a settings file whose other sections could not be read.
    bool complete;
    Status read = ReadSettingsText(env, location.settings_file, text, complete);
    if (!read.ok()) return read;
    if (!complete) return Status::Failure("設定ファイルが大きすぎます");
    if (ProfileValue(text, kSettingsSection, kSettingsKey) == shown) return Status::Ok();
  }
  return env.ReplaceFile(location.settings_file,
                         WithProfileValue(text, kSettingsSection, kSettingsKey, shown));
}

}  // namespace tallyrun
