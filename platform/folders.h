// What the log-file chooser browses: the drives, or the mounted file systems
// that stand for them, and one folder's contents.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/env.h"

namespace tallyrun::platform {

// In the order the system gives them; "c:" or "/home [ext4]" as the user
// reads it, with the folder it stands for.
std::vector<Drive> Drives();

// Hidden items are left out, as file managers do; links to folders count as
// folders, files are regular files only, links followed. Nothing when the
// folder cannot be entered and read.
std::optional<FolderListing> ListFolder(const std::string& path);

}  // namespace tallyrun::platform
