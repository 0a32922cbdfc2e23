// Everything the program asks of the operating system, behind one seam: the
// recording core's clock, items and files, and what the windows browse and
// start. The platform layer supplies the real one; tests bring their own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// What a record tells of an item besides its path.
struct ItemFacts {
  std::uint32_t attributes = 0;
  LocalTime modified;
};

// Where a batch of lines went into a file: the offset of its first byte and
// how many bytes it took there (a system may write them in another encoding).
struct Landed {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

// Which file a path names at the moment, and how far it reaches: two stamps
// with the same file but another size or time tell of a file written since.
struct FileStamp {
  std::uint64_t volume = 0;  // device, or volume serial number
  std::uint64_t file = 0;    // inode, or file index
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // in the system's own units

  bool SameFile(const FileStamp& other) const {
    return volume == other.volume && file == other.file;
  }
  bool operator==(const FileStamp&) const = default;
};

// A drive-list entry as the user reads it, and the folder it stands for.
struct Drive {
  std::string entry;
  std::string root;
};

// One folder's subfolders and regular files, hidden ones left out, in no
// particular order.
struct FolderListing {
  std::vector<std::string> folders;
  std::vector<std::string> files;
};

class Env {
 public:
  virtual ~Env() = default;

  virtual LocalTime Now() = 0;
  // A moment as the log writes it: the system's own date and time form where
  // the system has one, else the portable form (core/date_time_text.h).
  virtual void AppendMomentText(std::string& out, const LocalTime& t) = 0;
  // Links are followed; nothing when the item cannot be read.
  virtual std::optional<ItemFacts> FactsOf(const std::string& path) = 0;

  // Adds whole lines at the end of a regular file, creating it when missing.
  // A last line without its line end gets one first. All or nothing, and
  // safe against other writers appending at the same moment. `landed`, when
  // given, learns where the lines went in.
  virtual Status AppendLines(const std::string& path, std::string_view lines,
                             Landed* landed = nullptr) = 0;
  // Hands a regular file, from byte `from` on, to `sink` piece by piece
  // (at most a mebibyte each) until the end or until `sink` returns false.
  virtual Status ReadChunks(const std::string& path, std::uint64_t from,
                            const std::function<bool(std::string_view)>& sink) = 0;
  // Replaces the whole file so that a reader sees either the old or the new
  // contents, creating missing parent folders.
  virtual Status ReplaceFile(const std::string& path, std::string_view contents) = 0;
  // Nothing when the path names no regular file now; never waits.
  virtual std::optional<FileStamp> StampOf(const std::string& path) = 0;

  // Text from a Japanese Windows system (CP932) as UTF-8, in place of what
  // `out` held; its memory is used again, as a log may have many such lines.
  virtual void DecodeLegacyText(std::string_view bytes, std::string& out) = 0;
  // Text in the code page the system's own tools read files in: Windows' ANSI
  // code page, nothing when that cannot hold every character exactly; UTF-8,
  // as it is, elsewhere.
  virtual std::optional<std::string> SystemCodePageText(std::string_view text) {
    return std::string(text);
  }

  // What the windows browse and start.
  // A file or folder of any kind, links followed.
  virtual bool Exists(const std::string& path) = 0;
  // Empty when it cannot be found (deleted, or outside this process's root).
  virtual std::string CurrentDirectory() = 0;
  // The drives, or what stands for them where there are none.
  virtual std::vector<Drive> Drives() = 0;
  // Nothing when the folder cannot be entered and read now.
  virtual std::optional<FolderListing> ListFolder(const std::string& path) = 0;
  // The file manager shows a folder, or a file selected in its folder;
  // started without waiting, and silently when it cannot be.
  virtual void ShowInFileManager(const std::string& path, bool folder) = 0;
};

}  // namespace tallyrun
