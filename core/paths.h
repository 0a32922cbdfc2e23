// Paths as the program handles them: the folder a path sits in, joining, and
// making a path full as the system's own full-path function does. The
// separator and the shape of a full path come from build_facts.h alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/build_facts.h"

namespace tallyrun {

bool IsFullPath(std::string_view path);
// The folder holding `path`: the root for an item at the root, "." for a
// bare name.
std::string FolderOf(std::string_view path);
// The last name in `path`, ignoring trailing separators; the root has none.
std::string_view FinalName(std::string_view path);
// Exactly one separator between folder and name, at a root as anywhere.
std::string JoinPath(std::string_view folder, std::string_view name);
// The folders from the root down to the full path `folder`, which comes
// last: "c:\a\b" gives "c:\", "c:\a" and "c:\a\b".
std::vector<std::string> FoldersDownTo(std::string_view folder);
// `path` taken from `current_directory` when relative, then "." and ".."
// resolved and repeated separators collapsed by the text alone: no link is
// followed, as Windows' GetFullPathName. A trailing separator stays.
std::string FullPath(std::string_view path, std::string_view current_directory);
// The full path `full` as the rest below `current_directory` when it lies
// there: the same item, without the system walking every folder above it
// again for each item of a batch (a deep current folder can even be longer
// than a path the system accepts). Else, or without a current folder (it was
// removed), `full` itself.
std::string_view LookupPath(std::string_view full, std::string_view current_directory);

}  // namespace tallyrun
