// An operating system held in memory, for the windows' rules: files and
// folders by full path, a clock that stands still unless told to tick,
// drives, and a note of what the file manager was asked to show. Paths use the system's
// own separator, so the same tests run wherever the program is built.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/date_time_text.h"
#include "core/env.h"
#include "core/utf8.h"

namespace tallyrun::testing {

// "/a/b" on this system: under "C:\" where drives have letters.
std::string P(std::string_view slashed);

class MemoryEnv : public Env {
 public:
  bool ticking = false;  // each look at the clock a second later
  std::string current_directory = P("/");
  std::vector<Drive> drives{{"root", P("/")}};
  // Reads and writes of these paths fail with the reason given.
  std::map<std::string, std::string> refused;
  // Folders that cannot be entered, as a drive without a medium.
  std::set<std::string> closed;
  // What the file manager was asked: the path, and whether as a folder.
  std::vector<std::pair<std::string, bool>> shown;
  std::atomic<std::size_t> reads = 0, bytes_read = 0;

  // Folders above a file or folder are made as needed.
  void MakeFolder(const std::string& path);
  void Write(const std::string& path, std::string_view contents);     // same file, new contents
  void Replace(const std::string& path, std::string_view contents) {  // another file in its place
    files_.erase(path);
    Write(path, contents);
  }
  void Append(const std::string& path, std::string_view bytes) { Write(path, Read(path) += bytes); }
  void Remove(const std::string& path) { files_.erase(path), folders_.erase(path); }
  std::string Read(const std::string& path) const {
    return HasFile(path) ? files_.at(path).bytes : std::string();
  }
  bool HasFile(const std::string& path) const { return files_.contains(path); }

  LocalTime Now() override { return {2024, 5, 6, 7, 8, ticking ? second_++ : 9}; }
  void AppendMomentText(std::string& to, const LocalTime& t) override { AppendDateTimeText(to, t); }
  std::optional<ItemFacts> FactsOf(const std::string& path) override;
  Status AppendLines(const std::string& path, std::string_view lines,
                     Landed* landed = nullptr) override;
  Status ReadChunks(const std::string& path, std::uint64_t from,
                    const std::function<bool(std::string_view)>& sink) override;
  Status ReplaceFile(const std::string& path, std::string_view contents) override;
  std::optional<FileStamp> StampOf(const std::string& path) override {
    if (!HasFile(path)) return std::nullopt;
    const File& file = files_.at(path);
    return FileStamp{1, file.id, file.bytes.size(), file.version};
  }
  void DecodeLegacyText(std::string_view bytes, std::string& out) override {
    out = WithStraysCarried(bytes);
  }
  bool Exists(const std::string& path) override;
  std::string CurrentDirectory() override { return current_directory; }
  std::vector<Drive> Drives() override { return drives; }
  std::optional<FolderListing> ListFolder(const std::string& path) override;
  void ShowInFileManager(const std::string& path, bool folder) override {
    shown.emplace_back(path, folder);
  }

 private:
  int second_ = 9;
  struct File {
    std::string bytes;
    std::uint64_t id = 0;
    std::int64_t version = 0;
  };
  // Why a write to `path` fails, if it does.
  std::optional<std::string> Refusal(const std::string& path) const;
  std::map<std::string, File> files_;
  std::set<std::string> folders_;
  std::uint64_t next_id_ = 1;
  std::int64_t next_version_ = 1;
};

}  // namespace tallyrun::testing
