// The local files and folders carried by a drop's text/uri-list, each name
// exactly as the file system spells it (file URIs carry raw bytes).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tallyrun::ui {

struct DroppedItem {
  std::string path;
  // False when the name cannot be written to the log and read back as it is
  // (bytes that are not UTF-8, or a NUL).
  bool exact = true;
};

// Items in drop order; anything that is not a local file URI is left out.
// Besides an empty host and "localhost", `host_name` counts as this machine.
std::vector<DroppedItem> LocalItemsOfUriList(std::string_view uri_list, std::string_view host_name);

}  // namespace tallyrun::ui
