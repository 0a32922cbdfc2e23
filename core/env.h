// Everything the recording core asks of the operating system, behind one seam.
// The platform layer supplies the real one; tests wrap it to pin the clock.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/status.h"

namespace tallyrun {

struct LocalTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;

  bool operator==(const LocalTime&) const = default;
};

// Attribute bits in the form the log's rules are written for.
inline constexpr std::uint32_t kAttributeReadOnly = 1;
inline constexpr std::uint32_t kAttributeHidden = 2;
inline constexpr std::uint32_t kAttributeFolder = 16;

// The portable form of a moment, "yyyy/MM/dd H:mm:ss" (core/date_time_text.h).
void AppendDateTimeText(std::string& out, const LocalTime& t);

// What a record tells of an item besides its path.
struct ItemFacts {
  std::uint32_t attributes = 0;
  LocalTime modified;
};

class Env {
 public:
  virtual ~Env() = default;

  virtual LocalTime Now() = 0;
  // A moment as the log writes it: the system's own date and time form where
  // the system has one.
  virtual void AppendMomentText(std::string& out, const LocalTime& t) {
    AppendDateTimeText(out, t);
  }
  // Links are followed; nothing when the item cannot be read.
  virtual std::optional<ItemFacts> FactsOf(const std::string& path) = 0;

  // Adds whole lines at the end of a regular file, creating it when missing.
  // A last line without its line end gets one first. All or nothing, and
  // safe against other writers appending at the same moment.
  virtual Status AppendLines(const std::string& path, std::string_view lines) = 0;
  // Hands the file to `sink` piece by piece until the end or until `sink`
  // returns false.
  virtual Status ReadChunks(const std::string& path,
                            const std::function<bool(std::string_view)>& sink) = 0;
  // Replaces the whole file so that a reader sees either the old or the new
  // contents, creating missing parent folders.
  virtual Status ReplaceFile(const std::string& path, std::string_view contents) = 0;

  // Text from a Japanese Windows system (CP932) as UTF-8, in place of what
  // `out` held; its memory is used again, as a log may have many such lines.
  virtual void DecodeLegacyText(std::string_view bytes, std::string& out) = 0;
  // Text in the code page the system's own tools read files in: Windows' ANSI
  // code page, nothing when that cannot hold every character exactly; UTF-8,
  // as it is, elsewhere.
  virtual std::optional<std::string> SystemCodePageText(std::string_view text) {
    return std::string(text);
  }
};

}  // namespace tallyrun
