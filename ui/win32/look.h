// What the three Win32 windows share: controls laid out in twips by the
// window's DPI, the Gothic fonts, invisible frames that hold controls, named
// controls, modal showing and the plain message box.
#pragma once

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/wide_text.h"

namespace tallyrun::ui::win32 {

using platform::Narrow;
using platform::Widen;

// twips × DPI / 1440: 15 twips a pixel at 96 DPI.
int Pixels(int twips, UINT dpi);

enum class Face { kGothic, kPGothic };
enum FontStyle : unsigned { kPlain = 0, kBold = 1, kUnderline = 2 };

// One control of a window's table; positions in twips, relative to the
// frame that holds it (`in` names an earlier row) or to the window.
struct ControlRow {
  const wchar_t* name;
  const wchar_t* window_class;
  std::string_view text;  // UTF-8
  DWORD style;
  DWORD ex_style;
  int x, y, width, height;
  int in = -1;
  Face face = Face::kGothic;
  unsigned font_style = kPlain;
};

// The controls of one window, created from its table in tab order; their
// control ids are 100 + the row. Sizes and fonts follow the window's DPI.
class Controls {
 public:
  void Create(HWND form, const std::vector<ControlRow>& rows);
  // Places every control again for `dpi` (a move to another monitor).
  void Lay(UINT dpi);
  HWND operator[](int row) const { return hwnds_[static_cast<std::size_t>(row)]; }
  ~Controls();

 private:
  HFONT Font(Face face, unsigned style, UINT dpi);
  HWND form_ = nullptr;
  std::vector<ControlRow> rows_;
  std::vector<HWND> hwnds_;
  std::vector<HFONT> fonts_;
  std::vector<ATOM> names_;
};

inline constexpr int kFirstControlId = 100;

// The window class of the invisible frames; `etched` draws the border an
// about box's frames have.
const wchar_t* FrameClass();
const wchar_t* EtchedFrameClass();

// Registers a form's window class; the main window carries the program's icon.
bool RegisterFormClass(const wchar_t* window_class, WNDPROC proc, bool with_icon = false);
// A window whose client area is `width` × `height` twips at the DPI of the
// monitor it opens on, fixed in size, centred on `owner` or the screen.
HWND CreateForm(const wchar_t* window_class, std::string_view title, int width, int height,
                HWND owner, void* self);
// Keeps the client area at its twips size when the DPI changes.
void FitForm(HWND form, int width, int height, UINT dpi, const RECT* suggested);

// Runs `form` modally over `owner` until it is destroyed.
void RunModal(HWND form, HWND owner);
// The program's main loop, with tab and arrow keys moving the focus.
int RunMainLoop();

// Modal, OK only, no icon.
void ShowMessage(HWND owner, std::string_view text, std::string_view title);

// The common controls and the shell's drop calls, loaded when a window first
// opens: recording from the command line, most of this program's starts,
// never pays for loading them.
struct WindowLibraries {
  BOOL(WINAPI* InitCommonControlsEx)(const INITCOMMONCONTROLSEX*) = nullptr;
  BOOL(WINAPI* SetWindowSubclass)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR) = nullptr;
  LRESULT(WINAPI* DefSubclassProc)(HWND, UINT, WPARAM, LPARAM) = nullptr;
  void(WINAPI* DragAcceptFiles)(HWND, BOOL) = nullptr;
  UINT(WINAPI* DragQueryFileW)(HDROP, UINT, LPWSTR, UINT) = nullptr;
  BOOL(WINAPI* DragQueryPoint)(HDROP, POINT*) = nullptr;
  void(WINAPI* DragFinish)(HDROP) = nullptr;
  bool loaded = false;
};
const WindowLibraries& Libraries();

// The control's name as tests read it: a global atom in a window property.
inline constexpr wchar_t kNameProperty[] = L"TallyrunControlName";

}  // namespace tallyrun::ui::win32
