#include "platform/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/posix/mounts.h"

namespace tallyrun::platform {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

std::optional<FolderListing> ListFolder(const std::string& path) {
  if (path.empty() || ::access(path.c_str(), R_OK | X_OK) != 0) return std::nullopt;
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(fd));
  if (!dir) {
    ::close(fd);
    return std::nullopt;
  }

  FolderListing listing;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) return std::nullopt;
      break;
    }
    if (entry->d_name[0] == '.') continue;
    unsigned char type = entry->d_type;
    // Only links and file systems without types in their entries cost a stat.
    if (type == DT_LNK || type == DT_UNKNOWN) {
      struct stat st;
      if (::fstatat(fd, entry->d_name, &st, 0) != 0) continue;
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
    }
    if (type == DT_DIR) {
      listing.folders.emplace_back(entry->d_name);
    } else if (type == DT_REG) {
      listing.files.emplace_back(entry->d_name);
    }
  }
  return listing;
}

std::vector<Drive> Drives() {
  std::vector<Drive> drives;
  for (Mount& mount : MountedFileSystems()) {
    std::string entry = mount.type.empty() ? mount.point : mount.point + " [" + mount.type + "]";
    drives.push_back({std::move(entry), std::move(mount.point)});
  }
  // Every folder lies under the top one, even where it is not listed as a
  // mount of its own (a container's root).
  if (std::none_of(drives.begin(), drives.end(), [](const Drive& d) { return d.root == "/"; })) {
    drives.insert(drives.begin(), {"/", "/"});
  }
  return drives;
}

}  // namespace tallyrun::platform
