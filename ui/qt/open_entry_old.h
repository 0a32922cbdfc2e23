// Opening a list entry's item in the file manager: a folder as a folder view,
// a file selected in its folder; or telling the user that it seems gone.
#pragma once

#include <string_view>

class QWidget;

namespace tallyrun::ui {

// `entry` is "moment|path"; folder paths end with "/". An empty entry opens
// nothing. The file manager is started without waiting, and silently.
void OpenEntry(QWidget* parent, std::string_view entry);

}  // namespace tallyrun::ui
