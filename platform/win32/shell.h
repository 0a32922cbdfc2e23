// The Windows shell as the windows use it: Explorer started on an item, and
// the drives, folders and files the log file chooser browses.
#pragma once

#include <string>
#include <vector>

namespace tallyrun::platform {

// %WINDIR%\explorer.exe by its full path, never one found elsewhere: a folder
// in the explorer view ("/e,"), a file selected in its folder ("/select,").
// Not waited for; a failed start is silent.
void StartExplorer(const std::string& path, bool folder);

// "c:", "d:", ...: one entry per drive.
std::vector<std::string> DriveEntries();
// Whether the folder can be entered now (a drive without a medium cannot).
bool CanEnter(const std::string& folder);
// Names, sorted as Explorer sorts them; hidden and system items left out.
std::vector<std::string> Subfolders(const std::string& folder);
std::vector<std::string> FilesIn(const std::string& folder);

}  // namespace tallyrun::platform
