#include "platform/posix/mounts.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <map>

#include "platform/files.h"

namespace tallyrun::platform {
namespace {

// Kernel interfaces, bookkeeping and read-only package images: never where a
// person keeps files.
constexpr std::string_view kPseudoTypes[] = {
    "autofs",  "binfmt_misc", "bpf",      "cgroup",  "cgroup2",    "configfs",   "debugfs",
    "devpts",  "devtmpfs",    "efivarfs", "fusectl", "hugetlbfs",  "mqueue",     "nfsd",
    "nsfs",    "pipefs",      "proc",     "pstore",  "rpc_pipefs", "securityfs", "selinuxfs",
    "smackfs", "sockfs",      "squashfs", "sysfs",   "tracefs"};

constexpr std::string_view kSystemTrees[] = {"/proc", "/sys", "/dev"};

bool IsAtOrUnder(std::string_view path, std::string_view folder) {
  if (folder == "/") return !path.empty() && path.front() == '/';
  return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

bool IsPersonal(const Mount& mount) {
  if (std::ranges::find(kPseudoTypes, mount.type) != std::end(kPseudoTypes)) return false;
  for (const std::string_view tree : kSystemTrees) {
    if (IsAtOrUnder(mount.point, tree)) return false;
  }
  // Memory file systems are kept for /tmp and the like, not for runtime state.
  const bool in_memory = mount.type == "tmpfs" || mount.type == "ramfs";
  return !(in_memory && IsAtOrUnder(mount.point, "/run"));
}

// Blanks, tabs, newlines and backslashes in a field come as \ooo.
std::optional<std::string> Unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      out.push_back(field[i]);
      continue;
    }
    if (field.size() - i < 4) return std::nullopt;
    int value = 0;
    for (std::size_t k = 1; k <= 3; ++k) {
      const char c = field[i + k];
      if (c < '0' || c > '7') return std::nullopt;
      value = value * 8 + (c - '0');
    }
    if (value > 0xFF) return std::nullopt;
    out.push_back(static_cast<char>(value));
    i += 3;
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t end = std::min(line.find(' ', at), line.size());
    if (end > at) fields.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return fields;
}

// Fields: id, parent id, major:minor, root, mount point, options, optional
// fields..., "-", type, source, super options.
std::optional<Mount> ParseLine(std::string_view line) {
  const std::vector<std::string_view> fields = Fields(line);
  if (fields.size() < 8) return std::nullopt;
  std::size_t dash = 6;
  while (dash < fields.size() && fields[dash] != "-") ++dash;
  if (dash + 1 >= fields.size()) return std::nullopt;
  std::optional<std::string> point = Unescape(fields[4]);
  std::optional<std::string> type = Unescape(fields[dash + 1]);
  if (!point || !type || point->empty() || point->front() != '/') return std::nullopt;
  return Mount{std::move(*point), std::move(*type)};
}

}  // namespace

std::vector<Mount> ParseMountInfo(std::string_view text) {
  std::map<std::string, std::string> by_point;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    if (std::optional<Mount> mount = ParseLine(text.substr(0, end)))
      by_point[std::move(mount->point)] = std::move(mount->type);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  std::vector<Mount> mounts;
  for (auto& [point, type] : by_point) {
    Mount mount{point, std::move(type)};
    if (IsPersonal(mount)) mounts.push_back(std::move(mount));
  }
  return mounts;
}

std::vector<Mount> MountedFileSystems() {
  std::string text;
  const Status read = ReadChunks("/proc/self/mountinfo", 0, [&text](std::string_view piece) {
    text.append(piece);
    return true;
  });
  if (!read.ok()) return {};
  std::vector<Mount> mounts = ParseMountInfo(text);
  // Containers mount single files too. Cached attributes only, and no
  // automounting: an unreachable network mount must not hang the list.
  std::erase_if(mounts, [](const Mount& mount) {
    struct statx st;
    return ::statx(AT_FDCWD, mount.point.c_str(), AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, STATX_TYPE,
                   &st) == 0 &&
           (st.stx_mask & STATX_TYPE) != 0 && !S_ISDIR(st.stx_mode);
  });
  return mounts;
}

}  // namespace tallyrun::platform
