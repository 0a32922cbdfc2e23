#include "core/settings.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/build_facts.h"
#include "core/profile.h"
#include "core/text_reading.h"
#include "core/utf16.h"

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

bool HasByteOrderMark(std::string_view text) {
  return Utf16MarkOf(text) || text.starts_with(kUtf8Mark);
}

std::string Decoded(Env& env, std::string_view bytes) {
  std::string text(bytes);
  if (ReadingOf(bytes) == Reading::kCp932) env.DecodeLegacyText(bytes, text);
  return text;
}

std::optional<std::string> StoredLogFile(Env& env, std::string_view text) {
  std::optional<std::string> stored = ProfileValue(text, kSettingsSection, kSettingsKey);
  if (stored && !HasByteOrderMark(text)) *stored = Decoded(env, *stored);
  return stored;
}

// A file without a mark in UTF-16, each line read by the rule on its own.
std::string AsUtf16(Env& env, std::string_view text) {
  std::string lines;
  while (!text.empty()) {
    const std::size_t n = std::min(text.find('\n'), text.size() - 1) + 1;
    lines += Decoded(env, text.substr(0, n));
    text.remove_prefix(n);
  }
  return "\xFF\xFE" + Utf8ToUtf16(lines, ByteOrder::kLittleEndian);
}

std::string WithLogFile(Env& env, std::string_view text, const std::string& value) {
  if (HasByteOrderMark(text)) return WithProfileValue(text, kSettingsSection, kSettingsKey, value);
  const std::optional<std::string> bytes = env.SystemCodePageText(value);
  if (bytes && Decoded(env, *bytes) == value) {
    return WithProfileValue(text, kSettingsSection, kSettingsKey, *bytes);
  }
  return WithProfileValue(AsUtf16(env, text), kSettingsSection, kSettingsKey, value);
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

ResolvedLogFile ResolveLogFilePath(Env& env, const SettingsLocation& location) {
  std::string text;
  bool complete;
  if (Status read = ReadSettingsText(env, location.settings_file, text, complete); !read.ok()) {
    // A missing file is no setting; one that is there and cannot be read is.
    if (env.FactsOf(location.settings_file)) return {location.default_log_file, std::move(read)};
    text.clear();
  }
  std::optional<std::string> value = StoredLogFile(env, text);
  if (!value || *value == kDefaultValue) return {location.default_log_file};
  return {std::move(*value)};
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
    if (StoredLogFile(env, text) == shown) return Status::Ok();
  }
  return env.ReplaceFile(location.settings_file, WithLogFile(env, text, shown));
}

}  // namespace tallyrun
