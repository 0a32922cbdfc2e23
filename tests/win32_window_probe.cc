#include "tests/win32_window_probe.h"

#include <shlobj.h>

#include <algorithm>
#include <map>

#include "tests/win32_test_support.h"
#include "ui/win32/form_window.h"

namespace tallyrun::testing {
namespace {

std::string NameOf(HWND hwnd) {
  const auto atom =
      static_cast<ATOM>(reinterpret_cast<UINT_PTR>(::GetPropW(hwnd, L"TallyrunControlName")));
  wchar_t name[64];
  return atom == 0 ? "" : U(std::wstring_view(name, ::GlobalGetAtomNameW(atom, name, 64)));
}

std::string ClassOf(HWND hwnd) {
  wchar_t name[128];
  return U(std::wstring_view(name, static_cast<std::size_t>(::GetClassNameW(hwnd, name, 128))));
}

}  // namespace

std::string TextOf(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return U(text);
}

std::vector<ControlFacts> ReadControls(HWND form) {
  std::vector<HWND> children;
  ::EnumChildWindows(
      form,
      [](HWND hwnd, LPARAM out) {
        reinterpret_cast<std::vector<HWND>*>(out)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  // The control ids follow the tab order.
  std::map<int, ControlFacts> controls;
  for (HWND hwnd : children) {
    ControlFacts c;
    c.hwnd = hwnd;
    c.name = NameOf(hwnd);
    if (c.name.empty()) continue;  // parts of a control, such as a list's own edit
    c.window_class = ClassOf(hwnd);
    c.text = TextOf(hwnd);
    HWND parent = ::GetParent(hwnd);
    if (parent != form) c.parent = NameOf(parent);
    ::GetWindowRect(hwnd, &c.place);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&c.place), 2);
    LOGFONTW font{};
    if (HGDIOBJ f = reinterpret_cast<HGDIOBJ>(::SendMessageW(hwnd, WM_GETFONT, 0, 0))) {
      ::GetObjectW(f, sizeof font, &font);
      c.font_face = U(font.lfFaceName);
      c.font_charset = font.lfCharSet;
    }
    controls[::GetDlgCtrlID(hwnd)] = c;
  }
  std::vector<ControlFacts> in_order;
  for (const auto& [id, c] : controls) in_order.push_back(c);
  return in_order;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  for (MSG msg; !done(); ::Sleep(5)) {
    if (::GetTickCount64() > end) return false;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (ui::win32::FormWindow::Translate(msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  return true;
}

void MessageBoxWatcher::Run() {
  for (; !stop_; ::Sleep(20)) {
    for (HWND box = nullptr; (box = ::FindWindowExW(nullptr, box, L"#32770", nullptr));) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(box, &owner);
      if (owner != ::GetCurrentProcessId() || !::IsWindowVisible(box)) continue;
      MessageBoxSeen seen;
      seen.title = TextOf(box);
      // Its text and icon are static controls; their ids differ between
      // systems, their styles do not.
      for (HWND part = ::GetWindow(box, GW_CHILD); part; part = ::GetWindow(part, GW_HWNDNEXT)) {
        if (_stricmp(ClassOf(part).c_str(), "Static") != 0 || !::IsWindowVisible(part)) continue;
        if ((::GetWindowLongW(part, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
          seen.has_icon = ::SendMessageW(part, STM_GETICON, 0, 0) != 0;
        } else if (std::string text = TextOf(part); text.size() > seen.text.size()) {
          seen.text = text;
        }
      }
      {
        const std::lock_guard hold(lock_);
        seen_.push_back(seen);
      }
      ::SendMessageW(box, WM_COMMAND, IDOK, 0);
      break;
    }
  }
}

HDROP MakeDrop(const std::vector<std::wstring>& paths, POINT at) {
  std::wstring names;
  for (const std::wstring& p : paths) names += p + L'\0';
  HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + (names.size() + 1) * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  *drop = {sizeof(DROPFILES), at, FALSE, TRUE};
  std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
  ::GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

}  // namespace tallyrun::testing
