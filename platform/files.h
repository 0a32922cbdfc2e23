// Files as the program uses them: appending whole lines to a log shared with
// other recorders, reading a file piece by piece, replacing a small file in
// one step, and the facts about an item that a log record holds.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/env.h"
#include "core/status.h"

namespace tallyrun::platform {

// Another recorder holding the lock finishes within moments; a program that
// keeps holding it must not make the user wait for ever.
inline constexpr int kLockWaitSeconds = 10;

// Regular files only: anything else (and anything on a kernel interface such
// as /proc) is refused at once, never waited on. Waits at most 10 seconds
// for another program's lock on the log. A failed batch is taken back; where
// that cannot be done, what got in ends on a whole line and the reason says
// how many records were kept.
Status AppendLines(const std::string& path, std::string_view lines, Landed* landed = nullptr);
Status ReadChunks(const std::string& path, std::uint64_t from,
                  const std::function<bool(std::string_view)>& sink);
Status ReplaceFile(const std::string& path, std::string_view contents);

std::optional<ItemFacts> ItemFactsOf(const std::string& path);
// Regular files only, links followed.
std::optional<FileStamp> StampOf(const std::string& path);
// A file or folder of any kind, links followed.
bool Exists(const std::string& path);
// Empty when it cannot be found (deleted, or outside this process's root).
std::string CurrentDirectory();
// Creates whatever folders above `path` are missing, for the owner alone.
bool MakeParentFolders(const std::string& path);

// Past the file-size limit a write must fail like a full disk, so that a
// batch can be taken back; by default the process would end mid-line. Each
// program's main calls this once at start-up.
void TakeFileSizeLimitAsError();

struct ClosedStreams {
  bool input = false, output = false, error = false;
};
// Standard streams the program was started without are opened on the null
// device, so that no file or connection opened later takes their number and
// is written what is meant for them. Each program's main calls this first.
ClosedStreams KeepStandardStreamsTaken();

}  // namespace tallyrun::platform
