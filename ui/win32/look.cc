#include "ui/win32/look.h"

#include <commctrl.h>

namespace tallyrun::ui::win32 {
namespace {

constexpr wchar_t kGothic[] = L"ＭＳ ゴシック";
constexpr wchar_t kPGothic[] = L"ＭＳ Ｐゴシック";
constexpr int kPointSize = 9;

// Frames hold controls but decide nothing: what their controls report goes
// to the window.
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
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
      if (::GetWindowLongPtrW(hwnd, GWLP_USERDATA) != 0) {
        RECT r;
        ::GetClientRect(hwnd, &r);
        ::DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
      }
      ::EndPaint(hwnd, &paint);
      return 0;
    }
    default:
      return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}

void RegisterFrames() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSW frame{};
  frame.lpfnWndProc = FrameProc;
  frame.hInstance = ::GetModuleHandleW(nullptr);
  frame.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frame.lpszClassName = L"TallyrunFrame";
  ::RegisterClassW(&frame);
  frame.lpszClassName = L"TallyrunEtchedFrame";
  ::RegisterClassW(&frame);
}

UINT DpiOf(HWND hwnd) {
  const UINT dpi = ::GetDpiForWindow(hwnd);
  return dpi == 0 ? USER_DEFAULT_SCREEN_DPI : dpi;
}

}  // namespace

namespace {

template <typename Function>
void Find(HMODULE library, const char* name, Function& out) {
  out = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

}  // namespace

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
    return l;
  }();
  return libraries;
}

int Pixels(int twips, UINT dpi) { return ::MulDiv(twips, static_cast<int>(dpi), 1440); }

const wchar_t* FrameClass() {
  RegisterFrames();
  return L"TallyrunFrame";
}

const wchar_t* EtchedFrameClass() {
  RegisterFrames();
  return L"TallyrunEtchedFrame";
}

void Controls::Create(HWND form, const std::vector<ControlRow>& rows) {
  form_ = form;
  rows_ = rows;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const ControlRow& row = rows_[i];
    HWND parent = row.in < 0 ? form : hwnds_[static_cast<std::size_t>(row.in)];
    HWND hwnd = ::CreateWindowExW(
        row.ex_style, row.window_class, Widen(row.text).c_str(), WS_CHILD | WS_VISIBLE | row.style,
        0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(i))),
        ::GetModuleHandleW(nullptr), nullptr);
    if (std::wstring_view(row.window_class) == L"TallyrunEtchedFrame") {
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 1);
    }
    names_.push_back(::GlobalAddAtomW(row.name));
    ::SetPropW(hwnd, kNameProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(names_.back())));
    hwnds_.push_back(hwnd);
  }
  Lay(DpiOf(form));
}

void Controls::Lay(UINT dpi) {
  for (HFONT font : fonts_) ::DeleteObject(font);
  fonts_.clear();
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const ControlRow& row = rows_[i];
    ::SetWindowPos(hwnds_[i], nullptr, Pixels(row.x, dpi), Pixels(row.y, dpi),
                   Pixels(row.width, dpi), Pixels(row.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(hwnds_[i], WM_SETFONT,
                   reinterpret_cast<WPARAM>(Font(row.face, row.font_style, dpi)), TRUE);
  }
}

HFONT Controls::Font(Face face, unsigned style, UINT dpi) {
  // Asked by cell height, which for the MS Gothic faces is their 9-point em
  // height; a substitute with more leading then still fits the same rows.
  HFONT font = ::CreateFontW(
      ::MulDiv(kPointSize, static_cast<int>(dpi), 72), 0, 0, 0,
      (style & kBold) ? FW_BOLD : FW_NORMAL, FALSE, (style & kUnderline) ? TRUE : FALSE, FALSE,
      SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
      face == Face::kGothic ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS,
      face == Face::kGothic ? kGothic : kPGothic);
  fonts_.push_back(font);
  return font;
}

Controls::~Controls() {
  for (HWND hwnd : hwnds_) {
    if (::IsWindow(hwnd)) ::RemovePropW(hwnd, kNameProperty);
  }
  for (ATOM name : names_) ::GlobalDeleteAtom(name);
  for (HFONT font : fonts_) ::DeleteObject(font);
}

bool RegisterFormClass(const wchar_t* window_class, WNDPROC proc, bool with_icon) {
  WNDCLASSW c{};
  c.lpfnWndProc = proc;
  c.hInstance = ::GetModuleHandleW(nullptr);
  c.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  if (with_icon) c.hIcon = ::LoadIconW(c.hInstance, MAKEINTRESOURCEW(1));
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  c.lpszClassName = window_class;
  return ::RegisterClassW(&c) != 0;
}

HWND CreateForm(const wchar_t* window_class, std::string_view title, int width, int height,
                HWND owner, void* self) {
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  HWND form = ::CreateWindowExW(WS_EX_CONTROLPARENT, window_class, Widen(title).c_str(), kStyle,
                                CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, owner, nullptr,
                                ::GetModuleHandleW(nullptr), self);
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

void RunModal(HWND form, HWND owner) {
  if (owner != nullptr) ::EnableWindow(owner, FALSE);
  ::ShowWindow(form, SW_SHOWNORMAL);
  MSG msg;
  while (::IsWindow(form)) {
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      // The program is ending: the main loop must see that too.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      ::DestroyWindow(form);
      break;
    }
    if (::IsDialogMessageW(form, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  if (owner != nullptr) {
    ::EnableWindow(owner, TRUE);
    ::SetActiveWindow(owner);
  }
}

int RunMainLoop() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    HWND top = ::GetAncestor(msg.hwnd, GA_ROOT);
    if (top != nullptr && ::IsDialogMessageW(top, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void ShowMessage(HWND owner, std::string_view text, std::string_view title) {
  ::MessageBoxW(owner, Widen(text).c_str(), Widen(title).c_str(), MB_OK);
}

}  // namespace tallyrun::ui::win32
