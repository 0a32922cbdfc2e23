// Files as the program uses them: appending whole lines to a log shared with
// other recorders, reading a file piece by piece, replacing a small file in
// one step, and the facts about an item that a log record holds.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/env.h"
#include "core/status.h"

namespace tallyrun::platform {

// Regular files only: anything else is refused at once, never waited on.
Status AppendLines(const std::string& path, std::string_view lines);
Status ReadChunks(const std::string& path, const std::function<bool(std::string_view)>& sink);
Status ReplaceFile(const std::string& path, std::string_view contents);

std::optional<ItemStatus> ItemStatusOf(const std::string& path);
// A file or folder of any kind, links followed.
bool Exists(const std::string& path);
std::string CurrentDirectory();
// Creates whatever folders above `path` are missing.
bool MakeParentFolders(const std::string& path);

}  // namespace tallyrun::platform
