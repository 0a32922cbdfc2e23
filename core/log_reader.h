// Reading a log back as the list's entries ("moment|path"), newest first.
// Empty lines and damaged ones (too few TABs, or far longer than any record)
// are skipped quietly, so a cut line never hides the records around it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/env.h"
#include "core/text_reading.h"

namespace tallyrun {

inline constexpr char kEntrySeparator = '|';
// Everything after the entry's first separator.
std::string_view EntryPath(std::string_view entry);

// A log may hold millions of records, so entries share large blocks of
// memory instead of owning one allocation each, and each is found again from
// four bytes of its own.
class LogEntries {
 public:
  LogEntries() = default;
  LogEntries(LogEntries&& other) noexcept;
  LogEntries& operator=(LogEntries&& other) noexcept;
  ~LogEntries();

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // Entry 0 is the newest.
  std::string_view operator[](std::size_t i) const;

  // The entry becomes entry 0.
  void AddNewest(std::string_view entry);
  // Builds "moment|path" in place, without a temporary.
  void AddNewest(std::string_view moment, std::string_view path);
  // The same from a record's moment and path as they stand in its line, with
  // the TAB between them at `tab`: one copy does.
  void AddNewestFromLine(std::string_view moment_tab_path, std::size_t tab);
  // Its memory is kept for the next entries to be read (see log_reader.cc).
  void Clear();

  // Memory is taken in blocks of this size, for the text and for the starts.
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

 private:
  struct Block {
    std::unique_ptr<char[]> text;
    std::size_t capacity = 0;
    std::size_t used = 0;
    std::size_t first_entry = 0;  // the oldest entry it holds
  };
  // Where each entry starts in its block, oldest first, in blocks that never
  // move: a growing vector would copy them again and again.
  static constexpr std::size_t kStartsPerChunk = kBlockSize / sizeof(std::uint32_t);

  // Room for a new entry of `n` bytes, which is counted as added.
  char* Add(std::size_t n);

  std::vector<Block> blocks_;
  std::vector<std::unique_ptr<char[]>> start_chunks_;
  std::size_t size_ = 0;
};

// Takes a log piece by piece, however the pieces cut its lines.
class LogReader {
 public:
  LogReader(Env& env, LogEntries& out) : env_(env), out_(out) {}

  void Feed(std::string_view piece);
  // The last line counts even without its line end. Fed on afterwards, the
  // reader takes that line, once finished, only if it did not count here.
  void Finish();

 private:
  // `plain` when the line is known to read as UTF-8 (see PlainUtf8Length).
  void TakeLine(std::string_view line, bool plain);
  // A line not read as it stands, into decoded_: CP932 from a Windows system,
  // or UTF-8 with stray bytes, which are carried (see utf8.h).
  void Decode(std::string_view field, Reading reading);
  void DecodeStretch(std::string_view stretch, Reading reading);
  void SkipRestOfLine();

  Env& env_;
  LogEntries& out_;
  std::string partial_line_;
  // Kept from line to line.
  std::string decoded_;
  std::string decoded_from_;
  Reading decoded_as_ = Reading::kUtf8;
  std::string decoded_stretch_;
  bool skipping_ = false;       // inside a line too long to be a record
  bool partial_taken_ = false;  // partial_line_ counted already
};

// A missing or unreadable log gives no entries.
LogEntries ReadLogEntries(Env& env, const std::string& path);

}  // namespace tallyrun
