// The seam's file and folder services, the same on every system: each
// system's system_env.cc adds the clock, the moment's form and the legacy
// code page.
#include "platform/system_env.h"

#include "platform/file_manager.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace tallyrun::platform {

std::optional<ItemFacts> SystemEnv::FactsOf(const std::string& path) { return ItemFactsOf(path); }

Status SystemEnv::AppendLines(const std::string& path, std::string_view lines, Landed* landed) {
  return platform::AppendLines(path, lines, landed);
}

Status SystemEnv::ReadChunks(const std::string& path, std::uint64_t from,
                             const std::function<bool(std::string_view)>& sink) {
  return platform::ReadChunks(path, from, sink);
}

Status SystemEnv::ReplaceFile(const std::string& path, std::string_view contents) {
  return platform::ReplaceFile(path, contents);
}

std::optional<FileStamp> SystemEnv::StampOf(const std::string& path) {
  return platform::StampOf(path);
}

bool SystemEnv::Exists(const std::string& path) { return platform::Exists(path); }

std::string SystemEnv::CurrentDirectory() { return platform::CurrentDirectory(); }

std::vector<Drive> SystemEnv::Drives() { return platform::Drives(); }

std::optional<FolderListing> SystemEnv::ListFolder(const std::string& path) {
  return platform::ListFolder(path);
}

void SystemEnv::ShowInFileManager(const std::string& path, bool folder) {
  platform::ShowInFileManager(path, folder);
}

}  // namespace tallyrun::platform
