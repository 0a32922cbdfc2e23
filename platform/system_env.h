// The program's view of the real operating system.
#pragma once

#include "core/env.h"

namespace tallyrun::platform {

class SystemEnv : public Env {
 public:
  LocalTime Now() override;
  void AppendMomentText(std::string& out, const LocalTime& t) override;
  std::optional<ItemFacts> FactsOf(const std::string& path) override;
  Status AppendLines(const std::string& path, std::string_view lines,
                     Landed* landed = nullptr) override;
  Status ReadChunks(const std::string& path, std::uint64_t from,
                    const std::function<bool(std::string_view)>& sink) override;
  Status ReplaceFile(const std::string& path, std::string_view contents) override;
  std::optional<FileStamp> StampOf(const std::string& path) override;
  void DecodeLegacyText(std::string_view bytes, std::string& out) override;
  std::optional<std::string> SystemCodePageText(std::string_view text) override;

  bool Exists(const std::string& path) override;
  std::string CurrentDirectory() override;
  std::vector<Drive> Drives() override;
  std::optional<FolderListing> ListFolder(const std::string& path) override;
  void ShowInFileManager(const std::string& path, bool folder) override;
};

}  // namespace tallyrun::platform
