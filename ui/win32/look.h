// What every Win32 window shares whatever form it shows: twips in pixels by
// the window's DPI, the Gothic fonts, frames that hold controls, the form's
// own window and the libraries loaded only once a window opens.
#pragma once

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <shellapi.h>

#include "ui/common/form.h"

namespace tallyrun::ui::win32 {

// twips × DPI / 1440: 15 twips a pixel at 96 DPI.
int Pixels(int twips, UINT dpi);
UINT DpiOf(HWND hwnd);

// 9 points in the face and style asked, with the Shift-JIS character set;
// the caller deletes it.
HFONT MakeFont(Face face, unsigned style, UINT dpi);

// The window class of the frames, which hand what their controls report to
// the window; `etched` ones draw the border a frame of the about box has,
// and one made with a caption is a group box of that caption.
const wchar_t* FrameClass(bool etched);

// A window whose client area is `width` × `height` twips at the DPI of the
// monitor it opens on, fixed in size, centred on `owner` or the screen;
// `self` reaches `proc` with WM_NCCREATE. Hidden until shown.
HWND CreateForm(const wchar_t* window_class, WNDPROC proc, const wchar_t* title, int width,
                int height, HWND owner, void* self);
// Puts `window` right below `owner`, or right above it where the screen has
// no room below; over it where it has neither.
void PlaceBeside(HWND window, HWND owner);
// Keeps the client area at its twips size when the DPI changes.
void FitForm(HWND form, int width, int height, UINT dpi, const RECT* suggested);

// A read-only text of several lines gets a scroll bar only when its lines do
// not all fit.
void FitScrollBar(HWND edit);

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

// A control's id is this plus its row in the form's table.
inline constexpr int kFirstControlId = 100;

}  // namespace tallyrun::ui::win32
