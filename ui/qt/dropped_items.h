// The local files and folders carried by a drop's text/uri-list, each name
// exactly as the file system spells it (file URIs carry raw bytes).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tallyrun::ui::qt {

// Hands `take` each local file or folder in drop order, as its full path;
// anything that is not a local file URI is passed over. `exact` is false when
// the name cannot be written to the log and read back as it is (bytes that
// are not UTF-8, or a NUL). `take` may change the path it is given. Besides
// an empty host and "localhost", `host_name` counts as this machine.
void ForEachLocalItem(std::string_view uri_list, std::string_view host_name,
                      const std::function<void(std::string& path, bool exact)>& take);

}  // namespace tallyrun::ui::qt
