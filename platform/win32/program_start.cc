#include "platform/program_start.h"

#include <windows.h>

#include "core/argument_text.h"
#include "core/ascii.h"
#include "platform/win32/wide_text.h"

namespace tallyrun::platform {
namespace {

// The raw text after the program's own name, by the C runtime's rule for that
// first token: up to the closing quote when it starts with one, else up to
// the first blank; then the blanks after it.
std::wstring_view ArgumentText(std::wstring_view line) {
  std::size_t at = 0;
  if (!line.empty() && line.front() == L'"') {
    const std::size_t closing = line.find(L'"', 1);
    at = closing == std::wstring_view::npos ? line.size() : closing + 1;
  } else {
    while (at < line.size() && line[at] != L' ' && line[at] != L'\t') ++at;
  }
  while (at < line.size() && (line[at] == L' ' || line[at] == L'\t')) ++at;
  return line.substr(at);
}

// Its last part names a device (CON, NUL, COM1...), whatever extension
// follows: Windows would open the device, not a file of that name.
bool NamesDevice(std::string_view item) {
  std::string_view name = item.substr(item.find_last_of("\\/:") + 1);
  name = name.substr(0, name.find('.'));
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  for (const std::string_view device : {"CON", "PRN", "AUX", "NUL"}) {
    if (EqualsIgnoringAsciiCase(name, device)) return true;
  }
  return name.size() == 4 && name[3] >= '1' && name[3] <= '9' &&
         (EqualsIgnoringAsciiCase(name.substr(0, 3), "COM") ||
          EqualsIgnoringAsciiCase(name.substr(0, 3), "LPT"));
}

bool ValidHandle(HANDLE h) {
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN;
}

// Loaded only now: user32 costs every run its start-up time, and most runs
// never show a box.
void ShowMessageBox(const std::wstring& text) {
  using MessageBoxFunction = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
  const HMODULE user32 = ::LoadLibraryW(L"user32.dll");
  const FARPROC found = user32 == nullptr ? nullptr : ::GetProcAddress(user32, "MessageBoxW");
  // Through void(*)(), the one cast between function types the compiler allows.
  const auto message_box =
      reinterpret_cast<MessageBoxFunction>(reinterpret_cast<void (*)()>(found));
  if (message_box != nullptr) message_box(nullptr, text.c_str(), L"ログ書き込み中断", MB_OK);
}

}  // namespace

std::vector<std::string> CommandLineItems(int, char**) {
  const std::wstring_view text = ArgumentText(::GetCommandLineW());
  return SplitArgumentText(Narrow(text));
}

std::string NameRefusal(std::string_view item) {
  std::string_view rest = item;
  if (rest.starts_with("\\\\?\\")) rest.remove_prefix(4);
  if (rest.starts_with("\\\\.\\") || NamesDevice(rest)) return "Windows の装置名です";
  if (rest.size() >= 2 && rest[1] == ':') rest.remove_prefix(2);
  for (const char c : rest) {
    const auto u = static_cast<unsigned char>(c);
    // TAB, CR and LF are refused later with a reason of their own.
    const bool control = u < 0x20 && c != '\t' && c != '\r' && c != '\n';
    if (control || std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
      return "Windows の名前に使えない文字（: * ? \" < > | や制御文字）を含みます";
    }
  }
  return {};
}

// Every interactive Windows session has its desktop.
bool DesktopSession() { return true; }

void TellUser(const std::vector<std::string>& lines, bool failed) {
  // A GUI program has no console of its own; a caller that wants to hear it
  // (a console, a script redirecting) hands one over.
  const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  if (ValidHandle(err)) {
    DWORD mode = 0, n = 0;
    const bool console = ::GetConsoleMode(err, &mode);
    for (const std::string& message : lines) {
      const std::string line = "Tallyrun: " + message + "\r\n";
      if (console) {
        const std::wstring wide = Widen(line);
        ::WriteConsoleW(err, wide.data(), static_cast<DWORD>(wide.size()), &n, nullptr);
      } else {
        const std::string bytes = AnsiWhereExact(line);
        ::WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
      }
    }
    return;
  }
  if (!failed) return;
  // Lines of a box are joined with a carriage return.
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r") + line;
  ShowMessageBox(Widen(text));
}

}  // namespace tallyrun::platform
