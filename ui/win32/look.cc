#include "ui/win32/look.h"

#include <algorithm>

namespace tallyrun::ui::win32 {
namespace {

constexpr wchar_t kGothic[] = L"ＭＳ ゴシック";
constexpr wchar_t kPGothic[] = L"ＭＳ Ｐゴシック";
constexpr int kPointSize = 9;
constexpr wchar_t kFrame[] = L"TallyrunFrame";
constexpr wchar_t kEtchedFrame[] = L"TallyrunEtchedFrame";

// The group box a frame with a caption draws itself as: a child made first,
// so that it stays behind the frame's controls and out of their tab order.
HWND GroupBoxOf(HWND frame) {
  return reinterpret_cast<HWND>(::GetWindowLongPtrW(frame, GWLP_USERDATA));
}

// Frames hold controls but decide nothing: what their controls report goes
// to the window.
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      const wchar_t* caption = reinterpret_cast<const CREATESTRUCTW*>(lp)->lpszName;
      if (caption == nullptr || *caption == L'\0') return 0;
      HWND box =
          ::CreateWindowExW(0, WC_BUTTONW, caption, WS_CHILD | WS_VISIBLE | WS_GROUP | BS_GROUPBOX,
                            0, 0, 0, 0, hwnd, nullptr, ::GetModuleHandleW(nullptr), nullptr);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
      return 0;
    }
    case WM_SIZE:
      if (HWND box = GroupBoxOf(hwnd)) {
        ::SetWindowPos(box, nullptr, 0, 0, LOWORD(lp), HIWORD(lp), SWP_NOZORDER | SWP_NOACTIVATE);
      }
      return 0;
    case WM_SETFONT:
    case WM_GETFONT:
      if (HWND box = GroupBoxOf(hwnd)) return ::SendMessageW(box, msg, wp, lp);
      break;
    case WM_SETTEXT:
      if (HWND box = GroupBoxOf(hwnd)) ::SetWindowTextW(box, reinterpret_cast<const wchar_t*>(lp));
      break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      return ::SendMessageW(::GetParent(hwnd), msg, wp, lp);
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(hwnd, &paint);
      wchar_t name[32];
      if (::GetClassNameW(hwnd, name, 32) > 0 && std::wstring_view(name) == kEtchedFrame) {
        RECT r;
        ::GetClientRect(hwnd, &r);
        ::DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
      }
      ::EndPaint(hwnd, &paint);
      return 0;
    }
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

template <typename Function>
void Find(HMODULE library, const char* name, Function& out) {
  out = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

}  // namespace

int Pixels(int twips, UINT dpi) { return ::MulDiv(twips, static_cast<int>(dpi), 1440); }

UINT DpiOf(HWND hwnd) {
  const UINT dpi = ::GetDpiForWindow(hwnd);
  return dpi == 0 ? USER_DEFAULT_SCREEN_DPI : dpi;
}

HFONT MakeFont(Face face, unsigned style, UINT dpi) {
  // Asked by cell height, which for the MS Gothic faces is their 9-point em
  // height; a substitute with more leading then still fits the same rows.
  return ::CreateFontW(::MulDiv(kPointSize, static_cast<int>(dpi), 72), 0, 0, 0,
                       (style & kBold) ? FW_BOLD : FW_NORMAL, FALSE,
                       (style & kUnderline) ? TRUE : FALSE, FALSE, SHIFTJIS_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       face == Face::kGothic ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS,
                       face == Face::kGothic ? kGothic : kPGothic);
}

const wchar_t* FrameClass(bool etched) {
  static const bool registered = [] {
    WNDCLASSW frame{};
    frame.lpfnWndProc = FrameProc;
    frame.hInstance = ::GetModuleHandleW(nullptr);
    frame.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    frame.lpszClassName = kFrame;
    ::RegisterClassW(&frame);
    frame.lpszClassName = kEtchedFrame;
    return ::RegisterClassW(&frame) != 0;
  }();
  (void)registered;
  return etched ? kEtchedFrame : kFrame;
}

const WindowLibraries& Libraries() {
  static const WindowLibraries libraries = [] {
    WindowLibraries l;
    HMODULE controls = ::LoadLibraryW(L"comctl32.dll");
    HMODULE shell = ::LoadLibraryW(L"shell32.dll");
    if (controls == nullptr || shell == nullptr) return l;
    Find(controls, "InitCommonControlsEx", l.InitCommonControlsEx);
    Find(controls, "SetWindowSubclass", l.SetWindowSubclass);
    Find(controls, "DefSubclassProc", l.DefSubclassProc);
    Find(shell, "DragAcceptFiles", l.DragAcceptFiles);
    Find(shell, "DragQueryFileW", l.DragQueryFileW);
    Find(shell, "DragQueryPoint", l.DragQueryPoint);
    Find(shell, "DragFinish", l.DragFinish);
    l.loaded = l.InitCommonControlsEx && l.SetWindowSubclass && l.DefSubclassProc &&
               l.DragAcceptFiles && l.DragQueryFileW && l.DragQueryPoint && l.DragFinish;
    if (l.loaded) {
      INITCOMMONCONTROLSEX common{sizeof common,
                                  ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
      l.InitCommonControlsEx(&common);
    }
    return l;
  }();
  return libraries;
}

HWND CreateForm(const wchar_t* window_class, WNDPROC proc, const wchar_t* title, int width,
                int height, HWND owner, void* self) {
  WNDCLASSW c{};
  if (!::GetClassInfoW(::GetModuleHandleW(nullptr), window_class, &c)) {
    c.lpfnWndProc = proc;
    c.hInstance = ::GetModuleHandleW(nullptr);
    c.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    // The program's icon, on the dialogs' title bars and system menus too.
    c.hIcon = ::LoadIconW(c.hInstance, MAKEINTRESOURCEW(1));
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    c.lpszClassName = window_class;
    if (::RegisterClassW(&c) == 0) return nullptr;
  }
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  HWND form =
      ::CreateWindowExW(WS_EX_CONTROLPARENT, window_class, title, kStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 100, 100, owner, nullptr, ::GetModuleHandleW(nullptr), self);
  if (form == nullptr) return nullptr;
  FitForm(form, width, height, DpiOf(form), nullptr);
  RECT frame;
  ::GetWindowRect(form, &frame);
  RECT around;
  if (owner != nullptr) {
    ::GetWindowRect(owner, &around);
  } else {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  }
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  ::SetWindowPos(form, nullptr, around.left + ((around.right - around.left) - w) / 2,
                 around.top + ((around.bottom - around.top) - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return form;
}

void PlaceBeside(HWND window, HWND owner) {
  RECT mine, theirs;
  ::GetWindowRect(window, &mine);
  ::GetWindowRect(owner, &theirs);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!::GetMonitorInfoW(::MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) return;
  const RECT& work = monitor.rcWork;
  const int w = mine.right - mine.left, h = mine.bottom - mine.top;
  int top = theirs.bottom;
  if (top + h > work.bottom) top = theirs.top - h;
  if (top < work.top) return;
  const int left =
      std::clamp<int>(theirs.left, work.left, std::max<int>(work.left, work.right - w));
  ::SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FitForm(HWND form, int width, int height, UINT dpi, const RECT* suggested) {
  RECT r{0, 0, Pixels(width, dpi), Pixels(height, dpi)};
  ::AdjustWindowRectExForDpi(&r, static_cast<DWORD>(::GetWindowLongPtrW(form, GWL_STYLE)), FALSE,
                             static_cast<DWORD>(::GetWindowLongPtrW(form, GWL_EXSTYLE)), dpi);
  if (suggested != nullptr) {
    ::SetWindowPos(form, nullptr, suggested->left, suggested->top, r.right - r.left,
                   r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    ::SetWindowPos(form, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void FitScrollBar(HWND edit) {
  const auto send = [edit](UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    return ::SendMessageW(edit, msg, wp, lp);
  };
  const auto top_of_line = [&send](LRESULT line) {
    return static_cast<short>(
        HIWORD(send(EM_POSFROMCHAR, static_cast<WPARAM>(send(EM_LINEINDEX, line)))));
  };
  const auto show_bar = [edit](bool shown) {
    const LONG_PTR style = ::GetWindowLongPtrW(edit, GWL_STYLE);
    if (((style & WS_VSCROLL) != 0) == shown) return;
    ::SetWindowLongPtrW(edit, GWL_STYLE, shown ? style | WS_VSCROLL : style & ~WS_VSCROLL);
    ::SetWindowPos(edit, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  // Measured with the bar in place: without it the lines are only longer.
  // The text's last line end opens no line of its own.
  show_bar(true);
  LRESULT lines = send(EM_GETLINECOUNT);
  if (lines > 1 && send(EM_LINELENGTH, static_cast<WPARAM>(send(EM_LINEINDEX, lines - 1))) == 0) {
    --lines;
  }
  if (lines <= 1) return show_bar(false);
  RECT shown{};
  send(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
  const int line_height = top_of_line(1) - top_of_line(0);
  show_bar(top_of_line(lines - 1) - top_of_line(0) + line_height > shown.bottom - shown.top);
}

}  // namespace tallyrun::ui::win32
