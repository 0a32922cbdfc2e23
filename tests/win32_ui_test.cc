// The Win32 view where only the toolkit can go wrong, under Wine: each
// control made and placed from its form's table, drops, keys, clicks and the
// menu reaching the form, a message box shown and answered, Explorer started,
// the lists drawn from their rows, and Tallyrun.exe's own window.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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
using ui::Kind;
using ui::win32::FormWindow;

std::string TextOf(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return U(text);
}

std::string ClassOf(HWND hwnd) {
  wchar_t name[128];
  return U(std::wstring_view(name, static_cast<std::size_t>(::GetClassNameW(hwnd, name, 128))));
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

// The next message box, as "title|text" ("|icon" after one with an icon),
// closed with its OK button.
std::string AnswerMessage() {
  const HWND box = NextShown(L"#32770");
  std::string text;
  bool icon = false;
  // Its text and icon are static controls; their ids differ between
  // systems, their styles do not.
  for (HWND part = ::GetWindow(box, GW_CHILD); part; part = ::GetWindow(part, GW_HWNDNEXT)) {
    if (_stricmp(ClassOf(part).c_str(), "Static") != 0 || !::IsWindowVisible(part)) continue;
    if ((::GetWindowLongW(part, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      icon = icon || ::SendMessageW(part, STM_GETICON, 0, 0) != 0;
    else if (TextOf(part).size() > text.size())
      text = TextOf(part);
  }
  const std::string told = TextOf(box) + "|" + text + (icon ? "|icon" : "");
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
  std::string text;
  if (!::OpenClipboard(nullptr)) return text;
  if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    text = U(static_cast<const wchar_t*>(::GlobalLock(data)));
    ::GlobalUnlock(data);
  }
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

// The main window as start-up shows it.
struct Shown {
  explicit Shown(const std::string& log) : form(env, {log + ".ini", log}, log), window(form) {
    window.Show();
    form.StartUp(Status::Ok());
  }
  platform::SystemEnv env;
  Form1 form;
  FormWindow window;
};

// The window class of each kind of control, in the order of ui::Kind.
constexpr const char* kClasses[] = {"Static",        "Edit",     "TallyrunFrame", "Button",
                                    "SysListView32", "ComboBox", "ListBox",       "ListBox",
                                    "Edit",          "Button",   "Button"};

TEST(FormWindow, EveryFormIsLaidOutFromItsTableAndTabbedInItsOrder) {
  TempDir dir;
  const InFolder here(dir.path());
  const std::string log = dir / "Tallyrun.log";
  WriteFile(log, "2002/6/26 9:03:14\tC:\\entry\t\r\n");  // a list to tab into
  Shown shown(log);
  std::string answer;
  Form2 chooser(shown.env, answer);
  ui::Form3 about;
  ui::Search search{"x", false};  // something to find: the box's button takes the focus
  ui::Form4 find(search, [] {});
  const std::pair<ui::Form*, std::vector<std::string>> windows[] = {
      {&shown.form, {"Text1", "Command1", "List1", "Command2", "Command3"}},
      {&chooser, {"File1", "Command1", "Command2", "Drive1", "Dir1"}},
      {&about, {"Command1", "Text1"}},
      {&find, {"Text1", "Command1", "Command2", "Check1", "Option1"}},
  };
  for (const auto& [form, tab_order] : windows) {
    const ui::FormTable& table = form->Table();
    SCOPED_TRACE(table.name);
    std::optional<FormWindow> made;
    FormWindow& window = form == &shown.form ? shown.window : made.emplace(*form);
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
      EXPECT_EQ(ClassOf(c) + "|" + name(::GetParent(c)),
                std::string(row.bordered ? "TallyrunEtchedFrame" : kClasses[int(row.kind)]) + "|" +
                    (row.in < 0 ? "?" : std::string(table.controls[row.in].name)));
      RECT at;
      ::GetWindowRect(c, &at);
      ::MapWindowPoints(nullptr, ::GetParent(c), reinterpret_cast<POINT*>(&at), 2);
      EXPECT_EQ(std::vector<LONG>({at.left, at.top, at.right - at.left, at.bottom - at.top}),
                std::vector<LONG>({px(row.place.left), px(row.place.top), px(row.place.width),
                                   px(row.place.height)}));
      const LONG_PTR style = ::GetWindowLongPtrW(c, GWL_STYLE);
      EXPECT_TRUE(row.kind != Kind::kButton ||
                  ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) == (table.default_button == int(i)));
      // Credits that fit get no scroll bar.
      EXPECT_TRUE(row.kind != Kind::kNote || !(style & WS_VSCROLL));
      if (row.kind == Kind::kFrame && row.caption.empty()) continue;  // no text to show
      LOGFONTW font{};
      const auto face = reinterpret_cast<HGDIOBJ>(::SendMessageW(c, WM_GETFONT, 0, 0));
      ::GetObjectW(face, sizeof font, &font);
      EXPECT_EQ(U(font.lfFaceName),
                row.face == ui::Face::kGothic ? "ＭＳ ゴシック" : "ＭＳ Ｐゴシック");
      EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
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
    for (HWND at = ::GetFocus(); walked.size() <= tab_order.size();)
      walked.push_back(name(at = ::GetNextDlgTabItem(window.hwnd(), at, FALSE)));
    std::vector<std::string> expected = tab_order;
    expected.push_back(tab_order.front());
    EXPECT_EQ(walked, expected);
  }
}

TEST(FormWindow, DropsKeysClicksAndTheMenuOnTheListReachTheFormAndCopyToTheClipboard) {
  TempDir dir;
  const std::string windows = dir / "windows", file = dir / "a.txt", korean = dir / "한국어.txt";
  MakeFolder(windows);
  for (const std::string& f : {file, korean}) WriteFile(f, "x");
  ASSERT_TRUE(::CopyFileW(W(TestProgramFolder() + "\\win32_fake_explorer.exe").c_str(),
                          W(windows + "\\explorer.exe").c_str(), FALSE));
  const SetEnv windir(L"WINDIR", windows), record(L"TALLYRUN_EXPLORER_LOG", dir / "started.txt");
  const std::string log = dir / "t.log";
  Shown shown(log);
  HWND form = shown.window.hwnd(), list = shown.window.control(Form1::List1);
  ASSERT_FALSE(::IsWindowEnabled(list));
  Drop(form, shown.window.control(Form1::Label1), {W(file)});
  PumpUntil([] { return false; }, 200);
  EXPECT_FALSE(std::filesystem::exists(W(log)));

  // A name with half a UTF-16 pair cannot be carried: the form refuses it,
  // though a file of the name it would come out as exists.
  WriteFile(dir / "half\uFFFD", "x");
  std::string told;
  std::thread box([&] { told = AnswerMessage(); });
  Drop(form, list, {W(file), W(korean), W(dir / "half") + L"\xD800"});
  ASSERT_TRUE(PumpUntil([&] { return shown.form.ListCount(Form1::List1) == 2; }));
  box.join();
  EXPECT_TRUE(::IsWindowEnabled(list));
  EXPECT_TRUE(shown.form.ListRow(Form1::List1, 0).text.ends_with("|" + korean));
  EXPECT_TRUE(told.starts_with("ログ書き込み中断|") && !told.ends_with("|icon")) << told;

  // The command lines Explorer was started with, one a line.
  const auto started = [&] {
    const std::string bytes = ReadFile(dir / "started.txt");
    return U(std::wstring_view(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
  };
  const std::string explorer = "\"" + windows + "\\explorer.exe\" /select,\"";
  // Enter opens the chosen entry and Ctrl+C copies its path; in a text box,
  // Ctrl+C copies the box's own text.
  shown.window.Select(Form1::List1, 0);
  ::SetFocus(list);
  Press({VK_RETURN});
  ASSERT_TRUE(PumpUntil([&] { return std::ranges::count(started(), '\n') == 1; }));
  Press({VK_CONTROL, 'C'});
  EXPECT_EQ(Clipboard(), korean);
  HWND text1 = shown.window.control(Form1::Text1);
  ::SetFocus(text1);
  ::SendMessageW(text1, EM_SETSEL, 0, -1);
  Press({VK_CONTROL, 'C'});
  EXPECT_EQ(Clipboard(), log);
  // Ctrl+F shows the find box, and so does F3 with nothing to find yet;
  // what is typed there reaches its form, whose button comes on; Esc closes it.
  for (const auto keys : {std::initializer_list<BYTE>{VK_CONTROL, 'F'}, {VK_F3}}) {
    Press(keys);
    HWND box = ::FindWindowW(L"TallyrunForm4", nullptr);
    ASSERT_TRUE(::IsWindowVisible(box));
    Press({'D'});
    EXPECT_TRUE(
        ::IsWindowEnabled(::GetDlgItem(box, ui::win32::kFirstControlId + ui::Form4::Command1)));
    Press({VK_ESCAPE});
    EXPECT_FALSE(::IsWindow(box));
  }
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
  EXPECT_EQ(shown.window.Selected(Form1::List1), 1u);
  for (int i = 0; i < 2; ++i) ::mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return std::ranges::count(started(), '\n') == 2; }));
  EXPECT_EQ(started(), explorer + korean + "\"\n" + explorer + file + "\"\n");
  // From the keyboard with no row chosen, the entries that need one are greyed.
  shown.window.Select(Form1::List1, std::nullopt);
  menu = std::thread([&] { offered = AnswerMenu(VK_ESCAPE); });
  Press({VK_SHIFT, VK_F10});
  menu.join();
  EXPECT_EQ(offered,
            "開く（&O） (greyed)\nパスをコピー（&C）\tCtrl+C (greyed)\n検索（&F）…\tCtrl+F\n");
}

TEST(FormWindow, TheChoosersListsShowItsRowsAndADriveNotReadyIsToldOnce) {
  TempDir dir;
  MakeFolder(dir / "sub");
  for (const char* name : {"a.log", "b.txt", "sub\\c.log"}) WriteFile(dir / name, "x");
  const InFolder here(dir.path());
  platform::SystemEnv env;
  std::string answer;
  Form2 chooser(env, answer);
  FormWindow window(chooser);
  window.Show();
  const auto expect_rows = [&] {
    for (const int list : {Form2::Drive1, Form2::Dir1, Form2::File1}) {
      std::vector<std::string> rows, shown;
      for (std::size_t i = 0; i < chooser.ListCount(list); ++i)
        rows.push_back(chooser.ListRow(list, i).text);
      wchar_t text[MAX_PATH];
      for (WPARAM i = 0;
           ::SendMessageW(window.control(list), list == Form2::Drive1 ? CB_GETLBTEXT : LB_GETTEXT,
                          i, reinterpret_cast<LPARAM>(text)) >= 0;
           ++i)
        shown.push_back(U(text));
      EXPECT_EQ(shown, rows) << list;
    }
  };
  expect_rows();
  // Enter released in the folder list opens the folder chosen there.
  HWND dir1 = window.control(Form2::Dir1);
  ::SendMessageW(dir1, LB_SETCURSEL, ::SendMessageW(dir1, LB_GETCOUNT, 0, 0) - 1, 0);
  ::SendMessageW(dir1, WM_KEYUP, VK_RETURN, 0);
  EXPECT_EQ(chooser.Dir1Path(), dir / "sub");
  expect_rows();

  // scripts/test-windows.sh maps drive m: to a folder that does not exist.
  HWND drive = window.control(Form2::Drive1);
  const std::string before = TextOf(drive);
  const auto missing = ::SendMessageW(drive, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(L"m:"));
  if (missing == CB_ERR) GTEST_SKIP() << "no drive m: mapped to a missing folder";
  std::string told;
  std::thread box([&] { told = AnswerMessage(); });
  ::SendMessageW(drive, CB_SETCURSEL, static_cast<WPARAM>(missing), 0);
  ::SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(drive), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(drive));
  box.join();
  EXPECT_EQ(told, "ドライブ情報取得失敗|指定したドライブは現在使用できません。");
  EXPECT_EQ(TextOf(drive), before);
}

// Another program's record arrives on top; the chosen row and the rows in
// view stay where they were.
TEST(FormWindow, ARecordAnotherProgramAppendsShowsWhileTheWindowIsOpen) {
  TempDir dir;
  const std::string exe = dir / "Tallyrun.exe", log = dir / "Tallyrun.log";
  ASSERT_TRUE(::CopyFileW(W(TestProgramFolder() + "\\Tallyrun.exe").c_str(), W(exe).c_str(), 0));
  std::string lines;
  for (int i = 0; i < 100; ++i)
    lines += "2002/6/26 9:03:14\tC:\\older\\" + std::to_string(i) + "\t\r\n";
  WriteFile(log, lines);
  WriteFile(dir / "new.txt", "x");
  Shown shown(log);
  HWND list = shown.window.control(Form1::List1);
  // Up and down only: the one column leaves room for the scroll bar.
  EXPECT_EQ(::GetWindowLongPtrW(list, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), WS_VSCROLL);
  shown.window.Select(Form1::List1, 99);
  shown.window.Select(Form1::List1, 50);
  const int top = ListView_GetTopIndex(list);
  ASSERT_GT(top, 0);
  EXPECT_EQ(RunProgram(exe, L"new.txt", dir.path()).exit_code, 0u);
  ASSERT_TRUE(PumpUntil([&] { return ListView_GetItemCount(list) == 101; }));
  EXPECT_TRUE(shown.form.ListRow(Form1::List1, 0).text.ends_with("|" + dir / "new.txt"));
  EXPECT_EQ(shown.window.Selected(Form1::List1), 51u);
  EXPECT_EQ(ListView_GetTopIndex(list), top + 1);
}

TEST(FormWindow, TallyrunExeWithoutItemsShowsTheWindowAndEndsWhenItCloses) {
  TempDir dir;
  // Closes the window once it shows; should it never show, the run below
  // would wait for ever, so the whole test program ends failed.
  std::thread closer([] {
    HWND w = nullptr;
    if (!PumpUntil(
            [&] { return (w = ::FindWindowW(L"TallyrunForm1", nullptr)) && ::IsWindowVisible(w); },
            20000)) {
      ADD_FAILURE() << "no window shown";
      ::ExitProcess(1);
    }
    ::PostMessageW(w, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(RunProgram(TestProgramFolder() + "\\Tallyrun.exe", L"", dir.path()).exit_code, 0u);
  closer.join();
}

}  // namespace
}  // namespace tallyrun::testing
