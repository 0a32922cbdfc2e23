// The mounted file systems a person keeps files on, which the log-file chooser
// offers where Windows had drive letters. Read from the kernel's mount table.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyrun::platform {

struct Mount {
  std::string point;  // the folder it is mounted on: its root folder
  std::string type;   // its file-system type, such as "ext4"
};

// The mounts described by a text in the format of /proc/self/mountinfo:
// pseudo and system-internal file systems left out, each mount point once
// (as last mounted, which is what shows there), sorted by mount point.
std::vector<Mount> ParseMountInfo(std::string_view text);

// This process's mounts as above, less those mounted on something other than
// a folder. Empty when the mount table cannot be read.
std::vector<Mount> MountedFileSystems();

}  // namespace tallyrun::platform
