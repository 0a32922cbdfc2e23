#include "tests/memory_env.h"

#include "core/build_facts.h"
#include "core/paths.h"
#include "platform/errors.h"

namespace tallyrun::testing {

std::string P(std::string_view slashed) {
  std::string path = kDriveLetterPaths ? "C:" : "";
  for (const char c : slashed) path.push_back(c == '/' ? kPathSeparator : c);
  return path;
}

// A folder is one whether or not its name ends with the separator.
static std::string Folder(const std::string& path) {
  return FolderOf(path) == path || path.empty() || path.back() != kPathSeparator
             ? path
             : path.substr(0, path.size() - 1);
}

void MemoryEnv::MakeFolder(const std::string& path) {
  for (const std::string& folder : FoldersDownTo(path)) folders_.insert(folder);
}

void MemoryEnv::Write(const std::string& path, std::string_view contents) {
  MakeFolder(FolderOf(path));
  File& file = files_[path];
  if (file.id == 0) file.id = next_id_++;
  file.bytes.assign(contents);
  file.version = next_version_++;
}

std::optional<std::string> MemoryEnv::Refusal(const std::string& path) const {
  if (refused.contains(path)) return refused.at(path);
  if (folders_.contains(path)) return "フォルダです";
  return std::nullopt;
}

std::optional<ItemFacts> MemoryEnv::FactsOf(const std::string& name) {
  const std::string path = IsFullPath(name) ? name : JoinPath(current_directory, name);
  if (files_.contains(path)) return ItemFacts{0, {2020, 1, 2, 3, 4, 5}};
  if (folders_.contains(Folder(path))) return ItemFacts{kAttributeFolder, {2020, 1, 2, 3, 4, 5}};
  return std::nullopt;
}

Status MemoryEnv::AppendLines(const std::string& path, std::string_view lines, Landed* landed) {
  if (path.empty()) return Status::Failure(platform::kReasonEmptyPath);
  if (const auto why = Refusal(path)) return Status::Failure(*why);
  std::string bytes = Read(path);
  if (!bytes.empty() && bytes.back() != '\n') bytes += "\r\n";
  if (landed != nullptr) *landed = {bytes.size(), lines.size()};
  Write(path, bytes.append(lines));
  return Status::Ok();
}

Status MemoryEnv::ReadChunks(const std::string& path, std::uint64_t from,
                             const std::function<bool(std::string_view)>& sink) {
  ++reads;
  if (refused.contains(path)) return Status::Failure(refused.at(path));
  if (folders_.contains(path)) return Status::Failure(platform::kReasonNotRegularFile);
  if (!HasFile(path)) return Status::Failure("ファイルまたはフォルダが見つかりません");
  // A copy: the sink may write to the same file.
  const std::string bytes = Read(path);
  // In pieces of the size the system's reads use.
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  for (std::size_t at = from; at < bytes.size(); at += kPiece) {
    bytes_read += std::min(kPiece, bytes.size() - at);
    if (!sink(std::string_view(bytes).substr(at, kPiece))) break;
  }
  return Status::Ok();
}

Status MemoryEnv::ReplaceFile(const std::string& path, std::string_view contents) {
  if (const auto why = Refusal(path)) return Status::Failure(*why);
  Replace(path, contents);
  return Status::Ok();
}

bool MemoryEnv::Exists(const std::string& path) {
  return files_.contains(path) || folders_.contains(Folder(path));
}

std::optional<FolderListing> MemoryEnv::ListFolder(const std::string& path) {
  const std::string folder = Folder(path);
  if (!folders_.contains(folder) || closed.contains(folder)) return std::nullopt;
  FolderListing listing;
  for (const std::string& other : folders_)
    if (other != folder && FolderOf(other) == folder)
      listing.folders.emplace_back(FinalName(other));
  for (const auto& [name, file] : files_)
    if (FolderOf(name) == folder) listing.files.emplace_back(FinalName(name));
  return listing;
}

}  // namespace tallyrun::testing
