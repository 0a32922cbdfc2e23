#include "tests/win32_window_probe.h"

#include <shlobj.h>

#include <algorithm>

#include "tests/win32_test_support.h"

namespace tallyrun::testing {
namespace {

constexpr wchar_t kNameProperty[] = L"TallyrunControlName";

std::string NameOf(HWND hwnd) {
  const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(::GetPropW(hwnd, kNameProperty)));
  if (atom == 0) return {};
  wchar_t name[64];
  const UINT n = ::GlobalGetAtomNameW(atom, name, 64);
  return U(std::wstring_view(name, n));
}

std::string ClassOf(HWND hwnd) {
  wchar_t name[128];
  const int n = ::GetClassNameW(hwnd, name, 128);
  return U(std::wstring_view(name, static_cast<std::size_t>(n)));
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
  std::vector<ControlFacts> controls;
  for (HWND hwnd : children) {
    ControlFacts c;
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
    c.enabled = ::IsWindowEnabled(hwnd) != FALSE;
    c.id = ::GetDlgCtrlID(hwnd);
    controls.push_back(c);
  }
  std::sort(controls.begin(), controls.end(),
            [](const ControlFacts& a, const ControlFacts& b) { return a.id < b.id; });
  return controls;
}

SIZE ClientSize(HWND form) {
  RECT r;
  ::GetClientRect(form, &r);
  return {r.right - r.left, r.bottom - r.top};
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  while (!done()) {
    if (::GetTickCount64() > end) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::Sleep(5);
  }
  return true;
}

MessageBoxWatcher::MessageBoxWatcher() {
  ::InitializeCriticalSection(&lock_);
  thread_ = ::CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
  ::InterlockedExchange(&stop_, 1);
  ::WaitForSingleObject(thread_, INFINITE);
  ::CloseHandle(thread_);
  ::DeleteCriticalSection(&lock_);
}

std::vector<MessageBoxSeen> MessageBoxWatcher::seen() {
  ::EnterCriticalSection(&lock_);
  std::vector<MessageBoxSeen> copy = seen_;
  ::LeaveCriticalSection(&lock_);
  return copy;
}

DWORD WINAPI MessageBoxWatcher::Run(void* self_pointer) {
  auto* self = static_cast<MessageBoxWatcher*>(self_pointer);
  const DWORD process = ::GetCurrentProcessId();
  while (::InterlockedCompareExchange(&self->stop_, 0, 0) == 0) {
    HWND box = nullptr;
    while ((box = ::FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
      DWORD owner_process = 0;
      ::GetWindowThreadProcessId(box, &owner_process);
      if (owner_process != process || !::IsWindowVisible(box)) continue;
      MessageBoxSeen seen;
      seen.title = TextOf(box);
      // Its text and icon are static controls; their ids differ between
      // systems, their styles do not.
      for (HWND part = ::GetWindow(box, GW_CHILD); part != nullptr;
           part = ::GetWindow(part, GW_HWNDNEXT)) {
        if ((ClassOf(part) != "Static" && ClassOf(part) != "STATIC") || !::IsWindowVisible(part))
          continue;
        if ((::GetWindowLongW(part, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
          seen.has_icon = ::SendMessageW(part, STM_GETICON, 0, 0) != 0;
        } else if (std::string text = TextOf(part); text.size() > seen.text.size()) {
          seen.text = text;
        }
      }
      ::EnterCriticalSection(&self->lock_);
      self->seen_.push_back(seen);
      ::LeaveCriticalSection(&self->lock_);
      ::SendMessageW(box, WM_COMMAND, IDOK, 0);
      break;
    }
    ::Sleep(20);
  }
  return 0;
}

HDROP MakeDrop(const std::vector<std::wstring>& paths, POINT at) {
  std::size_t chars = 1;
  for (const std::wstring& p : paths) chars += p.size() + 1;
  HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = at;
  drop->fNC = FALSE;
  drop->fWide = TRUE;
  auto* out = reinterpret_cast<wchar_t*>(drop + 1);
  for (const std::wstring& p : paths) {
    std::copy(p.begin(), p.end(), out);
    out += p.size() + 1;
  }
  ::GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

}  // namespace tallyrun::testing
