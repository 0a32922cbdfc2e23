#include "platform/file_manager.h"

#include "core/paths.h"
#include "platform/process_start.h"

namespace tallyrun::platform {
namespace {

// A file URI carries the name's bytes: all but the unreserved characters and
// "/" are percent-encoded, commas too, which dbus-send would take for a
// separator.
std::string FileUri(const std::string& path) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : path) {
    const auto u = static_cast<unsigned char>(c);
    const bool plain = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      uri.push_back(c);
    } else {
      uri += {'%', kHex[u >> 4], kHex[u & 15]};
    }
  }
  return uri;
}

}  // namespace

// The desktop's file manager service selects a file in its folder; without
// one, xdg-open at least opens the folder.
void ShowInFileManager(const std::string& path, bool folder) {
  const std::vector<std::string> ask = {"dbus-send",
                                        "--session",
                                        "--print-reply",
                                        "--dest=org.freedesktop.FileManager1",
                                        "/org/freedesktop/FileManager1",
                                        folder ? "org.freedesktop.FileManager1.ShowFolders"
                                               : "org.freedesktop.FileManager1.ShowItems",
                                        "array:string:" + FileUri(path),
                                        "string:"};
  (void)StartDetached({ask, {"xdg-open", folder ? path : FolderOf(path)}});
}

}  // namespace tallyrun::platform
