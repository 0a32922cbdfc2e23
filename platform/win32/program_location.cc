#include "platform/program_location.h"

#include <windows.h>

#include "core/paths.h"
#include "platform/win32/wide_text.h"

namespace tallyrun::platform {
namespace {

std::wstring ModuleFileName() {
  // Long paths allowed: grow until the whole name fits.
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return {};
    if (n < name.size()) {
      name.resize(n);
      return name;
    }
    name.resize(name.size() * 2);
  }
}

// Whether a file can be made here: an installed program's folder
// (Program Files) refuses ordinary users, and only trying tells for sure.
bool CanCreateFilesIn(const std::wstring& dir) {
  const std::wstring probe =
      dir + L"\\~tallyrun-probe-" + std::to_wstring(::GetCurrentProcessId()) + L".tmp";
  const HANDLE h = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

std::string Variable(const wchar_t* name) {
  wchar_t value[32768];
  const DWORD n = ::GetEnvironmentVariableW(name, value, 32768);
  return n > 0 && n < 32768 ? Narrow(std::wstring_view(value, n)) : std::string();
}

}  // namespace

std::string ProgramDirectory() {
  const std::wstring name = ModuleFileName();
  return FolderOf(Narrow(name));
}

ProgramPlaces CurrentProgramPlaces() {
  ProgramPlaces places;
  places.program_directory = ProgramDirectory();
  places.program_directory_writable = CanCreateFilesIn(Widen(places.program_directory));
  places.app_data = Variable(L"APPDATA");
  return places;
}

}  // namespace tallyrun::platform
