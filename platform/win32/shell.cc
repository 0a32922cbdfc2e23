#include "platform/win32/shell.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/wide_text.h"

namespace tallyrun::platform {
namespace {

std::wstring WindowsFolder() {
  wchar_t dir[MAX_PATH];
  DWORD n = ::GetEnvironmentVariableW(L"WINDIR", dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) n = ::GetWindowsDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L"C:\\Windows";
  return std::wstring(dir, n);
}

// Quoted, so that blanks and commas stay inside the one path. Explorer reads
// its own command line: a "\" before the closing quote is just a "\".
std::wstring QuotedPath(const std::string& path) { return L"\"" + Widen(path) + L"\""; }

// Asking a drive without a medium must not bring up the system's own box.
class QuietDriveErrors {
 public:
  QuietDriveErrors() : old_(::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
  ~QuietDriveErrors() { ::SetErrorMode(old_); }

 private:
  UINT old_;
};

std::vector<std::string> Listing(const std::string& folder, bool folders) {
  QuietDriveErrors quiet;
  std::wstring pattern = Widen(folder);
  if (!pattern.empty() && pattern.back() != L'\\') pattern.push_back(L'\\');
  pattern.push_back(L'*');
  WIN32_FIND_DATAW found;
  HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
  std::vector<std::wstring> names;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const DWORD a = found.dwFileAttributes;
      const std::wstring_view name = found.cFileName;
      if (a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
      if (((a & FILE_ATTRIBUTE_DIRECTORY) != 0) != folders) continue;
      if (name == L"." || name == L"..") continue;
      names.emplace_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
  });
  std::vector<std::string> out;
  out.reserve(names.size());
  for (const std::wstring& name : names) out.push_back(Narrow(name));
  return out;
}

}  // namespace

void StartExplorer(const std::string& path, bool folder) {
  const std::wstring explorer = WindowsFolder() + L"\\explorer.exe";
  std::wstring line =
      L"\"" + explorer + L"\" " + (folder ? L"/e," : L"/select,") + QuotedPath(path);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(explorer.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process)) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
}

std::vector<std::string> DriveEntries() {
  QuietDriveErrors quiet;
  wchar_t buffer[512];
  const DWORD n = ::GetLogicalDriveStringsW(512, buffer);
  std::vector<std::string> entries;
  if (n == 0 || n > 512) return entries;
  for (const wchar_t* root = buffer; *root != L'\0'; root += wcslen(root) + 1) {
    // The letter alone: asking for a volume label can keep the list waiting
    // on a removable or network drive.
    const std::wstring entry{static_cast<wchar_t>(::towlower(root[0])), L':'};
    entries.push_back(Narrow(entry));
  }
  return entries;
}

bool CanEnter(const std::string& folder) {
  QuietDriveErrors quiet;
  const DWORD a = ::GetFileAttributesW(WidePath(folder).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::string> Subfolders(const std::string& folder) { return Listing(folder, true); }
std::vector<std::string> FilesIn(const std::string& folder) { return Listing(folder, false); }

}  // namespace tallyrun::platform
