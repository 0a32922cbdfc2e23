// One folder's contents for browsing: the names of its subfolders and files.
// Hidden items (names beginning with ".") are left out, as file managers do.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tallyrun::platform {

struct FolderListing {
  std::vector<std::string> folders;  // links to folders included
  std::vector<std::string> files;    // regular files only, links followed
};

// Names in no particular order; nullopt when the folder cannot be entered and read.
std::optional<FolderListing> ListFolder(const std::string& path);

}  // namespace tallyrun::platform
