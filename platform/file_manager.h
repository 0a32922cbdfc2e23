// The system's file manager, shown a folder or a file selected in its folder.
#pragma once

#include <string>

namespace tallyrun::platform {

// Started without waiting for it; a failed start is silent.
void ShowInFileManager(const std::string& path, bool folder);

}  // namespace tallyrun::platform
