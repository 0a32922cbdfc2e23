// The Win32 view where only the toolkit can go wrong, under Wine: each
// control made and placed from its form's table, the lists drawn from their
// rows and following the log, drops, keys, clicks and the menu reaching the
// form, a message box shown and answered, and Explorer started.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/system_env.h"
#include "tests/win32_test_support.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/find_box.h"
#include "ui/dialogs/log_file_chooser.h"
#include "ui/main/main_window.h"
#include "ui/win32/form_window.h"
#include "ui/win32/look.h"
// After windows.h, which it builds on.
#include <shlobj.h>

namespace tallyrun::testing {
namespace {

using ui::Form1;
using ui::Form2;
using ui::win32::FormWindow;

// A copy of this program named explorer.exe plays Explorer: it adds the
// command line it was started with to the file TALLYRUN_EXPLORER_LOG names.
[[maybe_unused]] const bool kPlaysExplorer = [] {
  wchar_t self[MAX_PATH];
  const std::wstring_view path(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  if (!path.ends_with(L"\\explorer.exe")) return false;
  std::ofstream(std::filesystem::path(_wgetenv(L"TALLYRUN_EXPLORER_LOG")),
                std::ios::app | std::ios::binary)
      << U(::GetCommandLineW()) << "\n";
  ::ExitProcess(0);
}();

std::string TextOf(HWND hwnd) {
  wchar_t text[4096];
  return U(std::wstring_view(text, ::GetWindowTextW(hwnd, text, 4096)));
}

std::string ClassOf(HWND hwnd) {
  wchar_t name[128];
  return U(std::wstring_view(name, ::GetClassNameW(hwnd, name, 128)));
}

// Handles the window's messages as the program's loop does until `done`
// holds or `timeout_ms` passes.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  for (MSG msg; !done(); ::Sleep(5)) {
    if (::GetTickCount64() > end) return false;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (FormWindow::Translate(msg)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  return true;
}

// The next shown window of `window_class` of this process, or null after a while.
HWND NextShown(const wchar_t* window_class) {
  HWND found = nullptr;
  PumpUntil([&] {
    for (found = nullptr; (found = ::FindWindowExW(nullptr, found, window_class, nullptr));) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(found, &owner);
      if (owner == ::GetCurrentProcessId() && ::IsWindowVisible(found)) return true;
    }
    return false;
  });
  return found;
}

// The next message box, as "title|text", closed with its OK button.
std::string AnswerMessage() {
  const HWND box = NextShown(L"#32770");
  // The text is the longest of its parts' (their ids differ between systems).
  std::string text;
  for (HWND part = ::GetWindow(box, GW_CHILD); part; part = ::GetWindow(part, GW_HWNDNEXT))
    if (TextOf(part).size() > text.size()) text = TextOf(part);
  const std::string told = TextOf(box) + "|" + text;
  ::SendMessageW(box, WM_COMMAND, IDOK, 0);
  return told;
}

// The next popup menu, an entry a line ("(greyed)" after a disabled one),
// answered with the key `answer`.
std::string AnswerMenu(WPARAM answer) {
  const HWND shown = NextShown(L"#32768");
  const auto menu = reinterpret_cast<HMENU>(::SendMessageW(shown, MN_GETHMENU, 0, 0));
  std::string entries;
  for (UINT i = 0; i < static_cast<UINT>(::GetMenuItemCount(menu)); ++i) {
    wchar_t text[100];
    ::GetMenuStringW(menu, i, text, 100, MF_BYPOSITION);
    entries +=
        U(text) + (::GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED ? " (greyed)\n" : "\n");
  }
  ::PostMessageW(shown, WM_KEYDOWN, answer, 0);
  return entries;
}

// Keys pressed together as the user presses them, through the input queue.
void Press(std::initializer_list<BYTE> keys) {
  for (BYTE key : keys) ::keybd_event(key, 0, 0, 0);
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
    ::keybd_event(*key, 0, KEYEVENTF_KEYUP, 0);
  PumpUntil([] { return ::GetQueueStatus(QS_ALLINPUT) == 0; });
}

std::string Clipboard() {
  if (!::OpenClipboard(nullptr)) return "";
  const HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
  const std::string text = data ? U(static_cast<const wchar_t*>(::GlobalLock(data))) : "";
  if (data) ::GlobalUnlock(data);
  ::CloseClipboard();
  return text;
}

// Drops `paths` on the middle of `on` as the shell hands them over: to the window.
void Drop(HWND form, HWND on, const std::vector<std::wstring>& paths) {
  RECT r;
  ::GetWindowRect(on, &r);
  ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  std::wstring names;
  for (const std::wstring& p : paths) names += p + L'\0';
  HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + (names.size() + 1) * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  *drop = {sizeof(DROPFILES), {(r.left + r.right) / 2, (r.top + r.bottom) / 2}, FALSE, TRUE};
  std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
  ::GlobalUnlock(memory);
  ::PostMessageW(form, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

// The windows start in the process's current folder.
struct InFolder {
  explicit InFolder(const std::string& folder) { std::filesystem::current_path(W(folder)); }
  ~InFolder() { std::filesystem::current_path(before); }
  const std::filesystem::path before = std::filesystem::current_path();
};

// Each form's window: laid out from its table, in its faces, tabbed in its
// order, its lists drawn from its rows. Then the main window: another
// program's records arrive on top, the chosen row and the rows in view
// staying where they were; drops, keys, clicks and the menu reach the form,
// a message box is shown and Explorer started.
TEST(FormWindow, EveryFormIsLaidOutFromItsTableAndTheMainWindowHandsOnWhatTheUserDoes) {
  TempDir dir;
  const InFolder here(dir.path());
  const std::string exe = dir / "Tallyrun.exe", log = dir / "Tallyrun.log", system = dir / "os";
  const std::string file = dir / "a.txt", korean = dir / "한국어.txt", started = dir / "started";
  for (const std::string& folder : {dir / "sub", system}) MakeFolder(folder);
  for (const std::string& f : {file, korean, dir / "sub\\c.log"}) WriteFile(f, "x");
  // Explorer is played by a copy of this program.
  ASSERT_TRUE(::CopyFileW(W(TestProgramFolder() + "\\Tallyrun.exe").c_str(), W(exe).c_str(), 0) &&
              ::CopyFileW(W(TestProgramFolder() + "\\win32_ui_test.exe").c_str(),
                          W(system + "\\explorer.exe").c_str(), 0));
  const SetEnv windir(L"WINDIR", system), record(L"TALLYRUN_EXPLORER_LOG", started);
  std::string lines;
  for (int i = 0; i < 100; ++i)
    lines += "2002/6/26 9:03:14\tC:\\older\\" + std::to_string(i) + "\t\r\n";
  WriteFile(log, lines);
  // The main window as start-up shows it.
  platform::SystemEnv env;
  Form1 main(env, {log + ".ini", log}, log);
  FormWindow main_window(main);
  main_window.Show();
  main.StartUp(Status::Ok());
  std::string answer;
  Form2 chooser(env, answer);
  ui::Form3 about;
  ui::Search search{"x", false};  // something to find: the box's button takes the focus
  ui::Form4 find(search, [] {});
  // Each form, and Tab's way round it back to the start.
  const std::pair<ui::Form*, std::vector<std::string>> windows[] = {
      {&main, {"Text1", "Command1", "List1", "Command2", "Command3", "Text1"}},
      {&chooser, {"File1", "Command1", "Command2", "Drive1", "Dir1", "File1"}},
      {&about, {"Command1", "Text1", "Command1"}},
      {&find, {"Text1", "Command1", "Command2", "Check1", "Option1", "Text1"}},
  };
  for (const auto& [form, tab_order] : windows) {
    const ui::FormTable& table = form->Table();
    SCOPED_TRACE(table.name);
    std::optional<FormWindow> made;
    FormWindow& window = form == &main ? main_window : made.emplace(*form);
    window.Show();
    const auto px = [&](int twips) {
      return ::MulDiv(twips, static_cast<int>(::GetDpiForWindow(window.hwnd())), 1440);
    };
    RECT client;
    ::GetClientRect(window.hwnd(), &client);
    EXPECT_EQ(std::vector<LONG>({client.right, client.bottom}),
              std::vector<LONG>({px(table.width), px(table.height)}));
    EXPECT_EQ(TextOf(window.hwnd()), table.title);
    const auto name = [&](HWND hwnd) {
      for (std::size_t i = 0; i < table.controls.size(); ++i)
        if (window.control(static_cast<int>(i)) == hwnd) return std::string(table.controls[i].name);
      return std::string("?");
    };
    for (std::size_t i = 0; i < table.controls.size(); ++i) {
      const ui::Control& row = table.controls[i];
      HWND c = window.control(static_cast<int>(i));
      SCOPED_TRACE(row.name);
      EXPECT_EQ(name(::GetParent(c)), row.in < 0 ? "?" : table.controls[row.in].name);
      RECT at;
      ::GetWindowRect(c, &at);
      ::MapWindowPoints(nullptr, ::GetParent(c), reinterpret_cast<POINT*>(&at), 2);
      EXPECT_EQ(std::vector<LONG>({at.left, at.top, at.right - at.left, at.bottom - at.top}),
                std::vector<LONG>({px(row.place.left), px(row.place.top), px(row.place.width),
                                   px(row.place.height)}));
      if (row.kind == ui::Kind::kFrame && row.caption.empty()) continue;  // no text to show
      LOGFONTW font{};
      const auto face = reinterpret_cast<HGDIOBJ>(::SendMessageW(c, WM_GETFONT, 0, 0));
      ::GetObjectW(face, sizeof font, &font);
      EXPECT_EQ(U(font.lfFaceName),
                row.face == ui::Face::kGothic ? "ＭＳ ゴシック" : "ＭＳ Ｐゴシック");
      // The text's room as the control's own font lays it out.
      if (TextOf(c).empty() || ClassOf(c) == "Edit") continue;
      HDC dc = ::GetDC(c);
      ::SelectObject(dc, face);
      RECT need{0, 0, at.right - at.left, 0};
      ::DrawTextW(
          dc, W(TextOf(c)).c_str(), -1, &need,
          DT_CALCRECT | (ClassOf(c) == "Button" ? DT_SINGLELINE : DT_WORDBREAK | DT_EDITCONTROL));
      ::ReleaseDC(c, dc);
      EXPECT_LE(need.right, at.right - at.left);
      EXPECT_LE(need.bottom, at.bottom - at.top);
    }
    // The focus starts where the table says, and Tab goes round in its order.
    std::vector<std::string> walked{name(::GetFocus())};
    for (HWND at = ::GetFocus(); walked.size() < tab_order.size();)
      walked.push_back(name(at = ::GetNextDlgTabItem(window.hwnd(), at, FALSE)));
    EXPECT_EQ(walked, tab_order);
    // The chooser's lists show its rows, and again once Enter, released in
    // the folder list, has opened the folder chosen there.
    for (int pass = 0; form == &chooser && pass < 2; ++pass) {
      if (pass == 1) {
        HWND dir1 = window.control(Form2::Dir1);
        ::SendMessageW(dir1, LB_SETCURSEL, ::SendMessageW(dir1, LB_GETCOUNT, 0, 0) - 1, 0);
        ::SendMessageW(dir1, WM_KEYUP, VK_RETURN, 0);
        EXPECT_EQ(chooser.Dir1Path(), dir / "sub");
      }
      for (const int list : {Form2::Drive1, Form2::Dir1, Form2::File1}) {
        std::vector<std::string> rows, drawn;
        for (std::size_t i = 0; i < chooser.ListCount(list); ++i)
          rows.push_back(chooser.ListRow(list, i).text);
        wchar_t text[MAX_PATH];
        for (WPARAM i = 0;
             ::SendMessageW(window.control(list), list == Form2::Drive1 ? CB_GETLBTEXT : LB_GETTEXT,
                            i, reinterpret_cast<LPARAM>(text)) >= 0;
             ++i)
          drawn.push_back(U(text));
        EXPECT_EQ(drawn, rows) << list;
      }
    }
  }

  HWND form = main_window.hwnd(), list = main_window.control(Form1::List1);
  // Up and down only: the one column leaves room for the scroll bar.
  EXPECT_EQ(::GetWindowLongPtrW(list, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), WS_VSCROLL);
  main_window.Select(Form1::List1, 99);
  main_window.Select(Form1::List1, 50);
  const int top = ListView_GetTopIndex(list);
  ASSERT_GT(top, 0);
  EXPECT_EQ(RunProgram(exe, L"a.txt", dir.path()).exit_code, 0u);
  ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(list) == 101; }));
  EXPECT_EQ(main_window.Selected(Form1::List1), 51u);
  EXPECT_EQ(ListView_GetTopIndex(list), top + 1);

  // Drops reach the list even disabled. A name with half a UTF-16 pair
  // cannot be carried: the form refuses it, though a file of the name it
  // would come out as exists.
  main_window.Enable(Form1::List1, false);
  WriteFile(dir / "half\uFFFD", "x");
  std::string told;
  std::thread box([&] { told = AnswerMessage(); });
  Drop(form, list, {W(file), W(korean), W(dir / "half") + L"\xD800"});
  ASSERT_TRUE(PumpUntil([&] { return main.ListCount(Form1::List1) == 103; }));
  box.join();
  EXPECT_TRUE(main.ListRow(Form1::List1, 0).text.ends_with("|" + korean));
  EXPECT_TRUE(told.starts_with("ログ書き込み中断|")) << told;

  // Enter opens the chosen entry and Ctrl+C copies its path; in a text box,
  // Ctrl+C copies the box's own text.
  main_window.Select(Form1::List1, 0);
  ::SetFocus(list);
  Press({VK_RETURN});
  ASSERT_TRUE(PumpUntil([&] { return std::ranges::count(ReadFile(started), '\n') == 1; }));
  Press({VK_CONTROL, 'C'});
  EXPECT_EQ(Clipboard(), korean);
  HWND text1 = main_window.control(Form1::Text1);
  ::SetFocus(text1);
  ::SendMessageW(text1, EM_SETSEL, 0, -1);
  Press({VK_CONTROL, 'C'});
  EXPECT_EQ(Clipboard(), log);
  // Ctrl+F shows the find box; what is typed there reaches its form, whose
  // button comes on; Esc closes it.
  Press({VK_CONTROL, 'F'});
  HWND found = ::FindWindowW(L"TallyrunForm4", nullptr);
  ASSERT_TRUE(::IsWindowVisible(found));
  Press({'D'});
  EXPECT_TRUE(
      ::IsWindowEnabled(::GetDlgItem(found, ui::win32::kFirstControlId + ui::Form4::Command1)));
  Press({VK_ESCAPE});
  EXPECT_FALSE(::IsWindow(found));
  // The right button chooses the row under it and asks for the menu, which
  // hands on the entry chosen; a double click opens the row.
  RECT item;
  ListView_GetItemRect(list, 1, &item, LVIR_LABEL);
  POINT on{item.left + 5, (item.top + item.bottom) / 2};
  ::MapWindowPoints(list, nullptr, &on, 1);
  ::SetCursorPos(on.x, on.y);
  std::string offered;
  std::thread menu([&] { offered = AnswerMenu('C'); });
  ::mouse_event(MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return Clipboard() == file; }));
  menu.join();
  EXPECT_EQ(offered, "開く（&O）\nパスをコピー（&C）\tCtrl+C\n検索（&F）…\tCtrl+F\n");
  EXPECT_EQ(main_window.Selected(Form1::List1), 1u);
  for (int i = 0; i < 2; ++i) ::mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return std::ranges::count(ReadFile(started), '\n') == 2; }));
  const std::string explorer = "\"" + system + "\\explorer.exe\" /select,\"";
  EXPECT_EQ(ReadFile(started), explorer + korean + "\"\n" + explorer + file + "\"\n");
}

}  // namespace
}  // namespace tallyrun::testing
