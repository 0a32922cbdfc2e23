#include "platform/folders.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "platform/win32/wide_text.h"

namespace tallyrun::platform {
namespace {

// Asking a drive without a medium must not bring up the system's own box.
class QuietDriveErrors {
 public:
  QuietDriveErrors() : old_(::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
  ~QuietDriveErrors() { ::SetErrorMode(old_); }

 private:
  UINT old_;
};

}  // namespace

std::vector<Drive> Drives() {
  QuietDriveErrors quiet;
  wchar_t buffer[512];
  const DWORD n = ::GetLogicalDriveStringsW(512, buffer);
  std::vector<Drive> drives;
  if (n == 0 || n > 512) return drives;
  for (const wchar_t* root = buffer; *root != L'\0'; root += std::wcslen(root) + 1) {
    // The letter alone: asking for a volume label can keep the list waiting
    // on a removable or network drive.
    const std::wstring entry{static_cast<wchar_t>(std::towlower(root[0])), L':'};
    drives.push_back({Narrow(entry), Narrow(entry + L"\\")});
  }
  return drives;
}

std::optional<FolderListing> ListFolder(const std::string& path) {
  QuietDriveErrors quiet;
  std::wstring pattern = WidePath(path);
  if (pattern.empty()) return std::nullopt;
  if (pattern.back() != L'\\') pattern.push_back(L'\\');
  pattern.push_back(L'*');
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
  FolderListing listing;
  if (search == INVALID_HANDLE_VALUE) {
    // An empty drive's root holds not even "." and "..".
    if (::GetLastError() != ERROR_FILE_NOT_FOUND) return std::nullopt;
    return listing;
  }
  do {
    const DWORD a = found.dwFileAttributes;
    const std::wstring_view name = found.cFileName;
    if (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
    if (name == L"." || name == L"..") continue;
    (a & FILE_ATTRIBUTE_DIRECTORY ? listing.folders : listing.files).push_back(Narrow(name));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return listing;
}

}  // namespace tallyrun::platform
