#include "core/paths.h"

#include <vector>

namespace tallyrun {
namespace {

bool IsSeparator(char c) { return c == kPathSeparator || (kDriveLetterPaths && c == '/'); }

// "/" here; "C:\" or the "\\" of a network path where drives have letters.
std::size_t RootLength(std::string_view path) {
  if constexpr (kDriveLetterPaths) {
    const char drive = static_cast<char>(path.empty() ? 0 : path[0] | 0x20);
    if (path.size() >= 3 && drive >= 'a' && drive <= 'z' && path[1] == ':' &&
        IsSeparator(path[2])) {
      return 3;
    }
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return 2;
    return 0;
  }
  return !path.empty() && path.front() == kPathSeparator ? 1 : 0;
}

std::size_t LastSeparator(std::string_view path) {
  for (std::size_t i = path.size(); i-- > 0;) {
    if (IsSeparator(path[i])) return i;
  }
  return std::string_view::npos;
}

std::string Normalized(std::string_view full) {
  const std::size_t root = RootLength(full);
  std::vector<std::string_view> names;
  for (std::string_view rest = full.substr(root); !rest.empty();) {
    std::size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::string_view name = rest.substr(0, end);
    rest.remove_prefix(end < rest.size() ? end + 1 : end);
    if (name == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.push_back(name);
    }
  }
  std::string out(full.substr(0, root));
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out.push_back(kPathSeparator);
    out.append(names[i]);
  }
  if (!names.empty() && IsSeparator(full.back())) out.push_back(kPathSeparator);
  return out;
}

}  // namespace

bool IsFullPath(std::string_view path) { return RootLength(path) > 0; }

std::string FolderOf(std::string_view path) {
  const std::size_t separator = LastSeparator(path);
  if (separator == std::string_view::npos) return ".";
  const std::size_t root = RootLength(path);
  return std::string(path.substr(0, separator < root ? root : separator));
}

std::string_view FinalName(std::string_view path) {
  const std::size_t root = RootLength(path);
  while (path.size() > root && IsSeparator(path.back())) path.remove_suffix(1);
  if (path.size() == root) return {};
  const std::size_t separator = LastSeparator(path);
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && !IsSeparator(out.back())) out.push_back(kPathSeparator);
  out.append(name);
  return out;
}

std::vector<std::string> FoldersDownTo(std::string_view folder) {
  const std::size_t root = RootLength(folder);
  std::vector<std::string> chain{std::string(folder.substr(0, root))};
  for (std::size_t at = root; at < folder.size();) {
    std::size_t end = at;
    while (end < folder.size() && !IsSeparator(folder[end])) ++end;
    if (end > at) chain.emplace_back(folder.substr(0, end));
    at = end + 1;
  }
  return chain;
}

namespace {

// Most names hold no "." or ".." and no doubled separator: they need no
// taking apart. Names that merely begin with "." are taken apart too.
bool MayNeedNormalizing(std::string_view path) {
  if (!path.empty() && path.front() == '.') return true;
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (IsSeparator(path[i - 1]) && (path[i] == '.' || IsSeparator(path[i]))) return true;
  }
  return false;
}

}  // namespace

std::string_view LookupPath(std::string_view full, std::string_view current_directory) {
  if (!current_directory.empty() && full.size() > current_directory.size() + 1 &&
      full.starts_with(current_directory)) {
    const std::string_view rest = full.substr(current_directory.size());
    if (rest.front() == kPathSeparator) return rest.substr(1);
    if (current_directory.back() == kPathSeparator) return rest;
  }
  return full;
}

std::string FullPath(std::string_view path, std::string_view current_directory) {
  if (IsFullPath(path)) return MayNeedNormalizing(path) ? Normalized(path) : std::string(path);
  const bool drive_relative = kDriveLetterPaths && path.size() >= 2 && path[1] == ':';
  if (!MayNeedNormalizing(path) && !path.empty() && !drive_relative &&
      IsFullPath(current_directory) && !MayNeedNormalizing(current_directory) &&
      !IsSeparator(path.front())) {
    return JoinPath(current_directory, path);
  }
  if constexpr (kDriveLetterPaths) {
    // "\x" stays on the current drive; "d:x" is taken from the current
    // folder on its own drive, from that drive's root on another.
    if (!path.empty() && IsSeparator(path.front())) {
      return Normalized(JoinPath(current_directory.substr(0, 2), path));
    }
    if (drive_relative) {
      const bool same_drive = current_directory.size() >= 2 &&
                              (current_directory[0] | 0x20) == (path[0] | 0x20) &&
                              current_directory[1] == ':';
      const std::string folder =
          same_drive ? std::string(current_directory) : std::string(path.substr(0, 2)) + '\\';
      return Normalized(JoinPath(folder, path.substr(2)));
    }
  }
  return Normalized(JoinPath(current_directory, path));
}

}  // namespace tallyrun
