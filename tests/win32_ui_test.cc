// The Win32 windows as a user meets them under Wine: every control by name,
// class, text and place; drops; opening entries in Explorer; the chooser's
// outcomes and a drive that is not ready; the about box.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "platform/system_env.h"
#include "tests/win32_test_support.h"
#include "tests/win32_window_probe.h"
#include "ui/win32/about_box.h"
#include "ui/win32/log_file_chooser.h"
#include "ui/win32/main_window.h"
// After windows.h, which the headers above bring.
#include <commctrl.h>

namespace tallyrun::testing {
namespace {

using ui::win32::Form1;
using ui::win32::Form2;
using ui::win32::Form3;

struct Row {
  const char* name;
  const char* window_class;
  const char* text;
  int x, y, width, height;  // twips
  const char* parent = "";
  const char* face = "ＭＳ ゴシック";
};

int Px(int twips, HWND form) {
  return ::MulDiv(twips, static_cast<int>(::GetDpiForWindow(form)), 1440);
}

// The text's room as the control's own font lays it out.
void ExpectTextFits(const ControlFacts& c) {
  if (c.text.empty() || c.window_class == "Edit") return;
  HDC dc = ::GetDC(c.hwnd);
  ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(c.hwnd, WM_GETFONT, 0, 0)));
  RECT need{0, 0, c.place.right - c.place.left, 0};
  const bool button = c.window_class == "Button";
  ::DrawTextW(dc, W(c.text).c_str(), -1, &need,
              DT_CALCRECT | (button ? DT_SINGLELINE : DT_WORDBREAK | DT_EDITCONTROL));
  EXPECT_LE(need.right, c.place.right - c.place.left) << c.name;
  EXPECT_LE(need.bottom, c.place.bottom - c.place.top) << c.name;
  ::ReleaseDC(c.hwnd, dc);
}

void ExpectControls(HWND form, const std::vector<Row>& rows, int width, int height) {
  RECT client;
  ::GetClientRect(form, &client);
  EXPECT_EQ(client.right, Px(width, form));
  EXPECT_EQ(client.bottom, Px(height, form));
  const std::vector<ControlFacts> controls = ReadControls(form);
  ASSERT_EQ(controls.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    const ControlFacts& c = controls[i];
    SCOPED_TRACE(r.name);
    EXPECT_EQ(c.name + "|" + c.window_class + "|" + c.text + "|" + c.parent,
              std::string(r.name) + "|" + r.window_class + "|" + r.text + "|" + r.parent);
    EXPECT_EQ(
        std::vector<LONG>({c.place.left, c.place.top, c.place.right - c.place.left,
                           c.place.bottom - c.place.top}),
        std::vector<LONG>({Px(r.x, form), Px(r.y, form), Px(r.width, form), Px(r.height, form)}));
    if (c.window_class.ends_with("Frame")) continue;  // frames show no text
    EXPECT_EQ(c.font_face, r.face);
    EXPECT_EQ(c.font_charset, SHIFTJIS_CHARSET);
    ExpectTextFits(c);
  }
}

// The windows start in the process's current folder.
struct InFolder {
  explicit InFolder(const std::string& folder) { std::filesystem::current_path(W(folder)); }
  ~InFolder() { std::filesystem::current_path(before); }
  const std::filesystem::path before = std::filesystem::current_path();
};

POINT CentreOf(HWND control, HWND form) {
  RECT r;
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The message boxes shown so far, a line each; one with an icon says so.
std::string Told(MessageBoxWatcher& boxes) {
  std::string told;
  for (const MessageBoxSeen& box : boxes.seen())
    told += box.title + "|" + box.text + (box.has_icon ? "|icon\n" : "\n");
  return told;
}

struct ShownForm1 {
  explicit ShownForm1(const std::string& dir, const std::string& log)
      : form(env, {dir + "\\Tallyrun.ini", dir + "\\Tallyrun.log"}, log) {
    form.EndProgramOnClose(false);
    EXPECT_TRUE(form.Show());
  }
  platform::SystemEnv env;
  Form1 form;
};

TEST(Form1, EveryControlStandsWhereTheTableSaysAndADropOnTheEmptyListRecordsEveryItem) {
  TempDir dir;
  const std::string file = dir / "a.txt", japanese = dir / "日本語.txt",
                    korean = dir / "한국어.txt", folder = dir / "フォルダ";
  for (const std::string& f : {file, japanese, korean}) WriteBytes(f, "x");
  MakeFolder(folder);
  const std::string log = dir / "drop.log";
  ShownForm1 shown(dir.path(), log);
  Form1& form = shown.form;
  HWND list = form.control(Form1::List1);
  EXPECT_EQ(TextOf(form.hwnd()), "ファイルログ作成ツール");
  ExpectControls(
      form.hwnd(),
      {
          {"Label1", "Static", "● ログファイル保存場所（ファイル名）", 120, 120, 3330, 180},
          {"Text1", "Edit", log.c_str(), 120, 360, 6135, 315},
          {"Frame1", "TallyrunFrame", "", 6300, 240, 795, 495},
          {"Command1", "Button", "選択", 60, 60, 675, 375, "Frame1"},
          {"List1", "SysListView32", "", 120, 1140, 6975, 3300},
          {"Label3", "Static", "● 書き込まれたログ（一番上が最新）", 120, 900, 3150, 180},
          {"Frame2", "TallyrunFrame", "", 5400, 4740, 1695, 555},
          {"Command2", "Button", "？", 60, 120, 555, 375, "Frame2"},
          {"Command3", "Button", "終了", 840, 60, 795, 435, "Frame2"},
          {"Label2", "Static",
           "↑このリストボックスに、ログを取りたいファイルやフォルダをドラッグ＆ドロップしてくださ"
           "い。",
           120, 4560, 5130, 720},
      },
      7200, 5400);
  // No records: the list starts empty and disabled.
  ASSERT_FALSE(::IsWindowEnabled(list));

  const auto drop = [&](const std::vector<std::wstring>& paths, HWND on) {
    const HDROP made = MakeDrop(paths, CentreOf(on, form.hwnd()));
    ::PostMessageW(form.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(made), 0);
  };
  // A drop beside the list records nothing.
  drop({W(file)}, form.control(Form1::Label1));
  PumpUntil([] { return false; }, 200);
  EXPECT_FALSE(Exists(log));

  drop({W(file), W(folder), W(japanese), W(korean)}, list);
  ASSERT_TRUE(PumpUntil([&] { return form.entries().size() == 4; }));
  EXPECT_TRUE(::IsWindowEnabled(list));
  EXPECT_TRUE(form.entries()[0].ends_with("|" + korean));

  // Quoted records in drop order; Japanese in the system's code page, a
  // name it cannot hold in UTF-8.
  std::string bytes = ReadBytes(log);
  for (const std::string& path : {file, folder + "\\", japanese, korean}) {
    const std::string line = bytes.substr(0, bytes.find("\"\r\n") + 3);
    EXPECT_TRUE(line.starts_with("\"") && line.ends_with("\"\r\n") &&
                line.find("\t" + platform::AnsiWhereExact(path) + "\t") != std::string::npos)
        << line;
    bytes.erase(0, line.size());
  }
  EXPECT_EQ(bytes, "");
}

TEST(Form1, EnterAndDoubleClickStartTheWindowsFoldersExplorerAndAVanishedItemIsTold) {
  TempDir dir;
  // Read back from the log: a name in the system's code page, one in UTF-8.
  const std::string windows = dir / "windows", folder = dir / "my, docs☕",
                    file = dir / "b c ｶﾅ～.txt";
  MakeFolder(windows);
  MakeFolder(folder);
  WriteBytes(folder + "\\inside.txt", "x");
  WriteBytes(file, "x");
  ASSERT_TRUE(::CopyFileW(W(TestProgramFolder() + "\\win32_fake_explorer.exe").c_str(),
                          W(windows + "\\explorer.exe").c_str(), FALSE));
  const SetEnv windir(L"WINDIR", windows), record(L"TALLYRUN_EXPLORER_LOG", dir / "started.txt");
  const std::string log = dir / "t.log";
  // Older records below, enough to scroll: the list's scroll bar must know
  // them, and its one column must leave room for the bar.
  std::string lines;
  for (int i = 0; i < 200; ++i) lines += "2002/6/26 9:03:14\tC:\\older\t\r\n";
  for (const std::string& path : {dir / "gone.txt", file, folder + "\\"}) {
    lines += "2002/6/26 9:03:14\t" + platform::AnsiWhereExact(path) + "\t2002/6/26 9:03:14\r\n";
  }
  WriteBytes(log, lines);
  ShownForm1 shown(dir.path(), log);
  HWND list = shown.form.control(Form1::List1);
  ASSERT_EQ(ListView_GetItemCount(list), 203);
  SCROLLINFO bar{};
  bar.cbSize = sizeof bar;
  bar.fMask = SIF_RANGE;
  ASSERT_TRUE(::GetScrollInfo(list, SB_VERT, &bar));
  EXPECT_EQ(bar.nMax, 202);
  // Up and down only: the entries fit its width.
  EXPECT_EQ(::GetWindowLongPtrW(list, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), WS_VSCROLL);
  // The command lines Explorer was started with, one a line.
  const auto started = [&] {
    const std::string bytes = ReadBytes(dir / "started.txt");
    return U(std::wstring_view(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
  };
  const auto starts = [&] { return std::ranges::count(started(), '\n'); };
  const std::string explorer = "\"" + windows + "\\explorer.exe\" ";
  // Watched from the start, so that an entry wrongly told gone fails the test
  // rather than holding it up.
  MessageBoxWatcher boxes;
  const auto select = [list](int i) {
    ListView_SetItemState(list, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  };
  select(0);
  ::SendMessageW(list, WM_CHAR, 13, 0);
  ASSERT_TRUE(PumpUntil([&] { return starts() == 1; }));
  EXPECT_EQ(started(), explorer + "/e,\"" + folder + "\\\"\n");

  select(1);
  RECT item;
  ListView_GetItemRect(list, 1, &item, LVIR_LABEL);
  const LPARAM at = MAKELPARAM(item.left + 5, (item.top + item.bottom) / 2);
  ::SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  ::SendMessageW(list, WM_LBUTTONUP, 0, at);
  ASSERT_TRUE(PumpUntil([&] { return starts() == 2; }));
  EXPECT_TRUE(started().ends_with(explorer + "/select,\"" + file + "\"\n"));

  select(2);
  ::SendMessageW(list, WM_CHAR, 13, 0);
  EXPECT_EQ(Told(boxes), "ウィンドウオープン中断|ファイル／フォルダが存在しないようです。\n");
  EXPECT_EQ(starts(), 2);
}

TEST(Form1, ClosingSavesTheShownLogFileOnlyWhenItChanged) {
  TempDir dir;
  {
    ShownForm1 shown(dir.path(), dir / "Tallyrun.log");
    ::SendMessageW(shown.form.hwnd(), WM_CLOSE, 0, 0);
  }
  EXPECT_FALSE(Exists(dir / "Tallyrun.ini"));
  {
    ShownForm1 shown(dir.path(), dir / "Tallyrun.log");
    ::SetWindowTextW(shown.form.control(Form1::Text1), W(dir / "other.log").c_str());
    ::SendMessageW(shown.form.control(Form1::Command3), BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindow(shown.form.hwnd()));
  }
  EXPECT_NE(ReadBytes(dir / "Tallyrun.ini").find("LogFile=" + dir / "other.log"),
            std::string::npos);
}

TEST(Form1, TallyrunExeWithoutItemsShowsTheWindowAndEndsWhenItCloses) {
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

std::vector<std::string> Items(HWND list) {
  std::vector<std::string> items;
  wchar_t text[MAX_PATH];
  for (WPARAM i = 0; i < static_cast<WPARAM>(::SendMessageW(list, LB_GETCOUNT, 0, 0)); ++i) {
    const auto n = ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(U(std::wstring_view(text, static_cast<std::size_t>(n))));
  }
  return items;
}

TEST(Form2, EveryControlStandsWhereTheTableSaysAndTheThreeOutcomesLandInStrFileName) {
  TempDir dir;
  for (const char* name : {"a.log", "b.TXT", "c.ini", "d.txt.bak"}) WriteBytes(dir / name, "x");
  MakeFolder(dir / "sub");
  WriteBytes(dir / "sub\\e.log", "x");
  const InFolder here(dir.path());
  std::wstring strFileName = L"earlier.log";
  const auto show = [&](Form2& chooser) {
    HWND form = chooser.Load(nullptr);
    ::ShowWindow(form, SW_SHOW);
    return form;
  };
  {
    Form2 chooser(strFileName);
    HWND form = show(chooser);
    EXPECT_EQ(TextOf(form), "トレースログファイル選択");
    const std::vector<ControlFacts> controls = ReadControls(form);
    ExpectControls(
        form,
        {
            {"Label1", "Static", "ドライブ名", 120, 120, 3135, 195},
            {"Label2", "Static", "フォルダ名", 120, 680, 3135, 195},
            {"Label3", "Static", "ファイル名", 3480, 120, 3375, 255},
            {"File1", "ListBox", "", 3480, 300, 3375, 2970},
            {"Frame1", "TallyrunFrame", "", 3480, 3360, 3375, 495},
            {"Command1", "Button", "ファイル選択", 60, 0, 1995, 435, "Frame1"},
            {"Command2", "Button", "戻る", 2280, 0, 1035, 435, "Frame1"},
            {"Drive1", "ComboBox", controls[7].text.c_str(), 120, 300, 3135, 300},
            {"Dir1", "ListBox", "", 120, 870, 3135, 2400},
            {"Label4", "Static", "ファイルを選択して「ファイル選択」ボタンを押してください。", 120,
             3360, 3135, 435},
        },
        7005, 3900);
    EXPECT_EQ(::GetFocus(), chooser.control(Form2::File1));
    EXPECT_EQ(Items(chooser.control(Form2::File1)), (std::vector<std::string>{"a.log", "b.TXT"}));
    EXPECT_EQ(chooser.Dir1Path(), dir.path());
    // Nothing selected: the button does nothing.
    ::SendMessageW(chooser.control(Form2::Command1), BM_CLICK, 0, 0);
    EXPECT_TRUE(::IsWindow(form));
    ::SendMessageW(form, WM_CLOSE, 0, 0);
  }
  EXPECT_EQ(U(strFileName), "earlier.log");
  {
    Form2 chooser(strFileName);
    show(chooser);
    ::SendMessageW(chooser.control(Form2::File1), LB_SETCURSEL, 1, 0);
    ::SendMessageW(chooser.control(Form2::Command1), BM_CLICK, 0, 0);
  }
  EXPECT_EQ(U(strFileName), dir / "b.TXT");
  {
    Form2 chooser(strFileName);
    HWND form = show(chooser);
    // Enter released in the folder list opens the highlighted folder.
    HWND dir1 = chooser.control(Form2::Dir1);
    ::SendMessageW(dir1, LB_SETCURSEL, ::SendMessageW(dir1, LB_GETCOUNT, 0, 0) - 1, 0);
    ::SendMessageW(dir1, WM_KEYUP, VK_RETURN, 0);
    EXPECT_EQ(chooser.Dir1Path(), dir / "sub");
    EXPECT_EQ(Items(chooser.control(Form2::File1)), (std::vector<std::string>{"e.log"}));
    ::SendMessageW(chooser.control(Form2::File1), LB_SETCURSEL, 0, 0);
    ::SendMessageW(chooser.control(Form2::File1), WM_KEYUP, VK_RETURN, 0);
    EXPECT_FALSE(::IsWindow(form));
  }
  EXPECT_EQ(U(strFileName), dir / "sub\\e.log");
  {
    Form2 chooser(strFileName);
    show(chooser);
    ::SendMessageW(chooser.control(Form2::File1), LB_SETCURSEL, 0, 0);
    ::SendMessageW(chooser.control(Form2::Command2), BM_CLICK, 0, 0);
  }
  EXPECT_EQ(strFileName, L"");
}

TEST(Form2, ADriveThatIsNotReadyIsToldOnceAndTheChooserReturnsToTheDriveBefore) {
  TempDir dir;
  MakeFolder(dir / "deep");
  const InFolder here(dir / "deep");
  std::wstring strFileName = L"kept";
  Form2 chooser(strFileName);
  HWND form = chooser.Load(nullptr);
  HWND drive = chooser.control(Form2::Drive1);
  const std::string before = TextOf(drive);
  // scripts/test-windows.sh maps drive m: to a folder that does not exist.
  const auto missing = ::SendMessageW(drive, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(L"m:"));
  if (missing == CB_ERR) GTEST_SKIP() << "no drive m: mapped to a missing folder";
  MessageBoxWatcher boxes;
  ::SendMessageW(drive, CB_SETCURSEL, static_cast<WPARAM>(missing), 0);
  ::SendMessageW(form, WM_COMMAND,
                 MAKEWPARAM(ui::win32::kFirstControlId + Form2::Drive1, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(drive));
  EXPECT_EQ(Told(boxes), "ドライブ情報取得失敗|指定したドライブは現在使用できません。\n");
  EXPECT_EQ(TextOf(drive), before);
  EXPECT_EQ(chooser.Dir1Path(), before.substr(0, 2) + "\\");
}

TEST(Form3, EveryControlStandsWhereTheTableSaysAndTheDescriptionIsBuiltAnewEachTime) {
  const std::string description =
      "このプログラムは。\r\r\u3000ファイルやフォルダのログを取得するためのものです。"
      "そのファイルやフォルダをウィンドウで表示させることが出来ます。\r\u3000詳しくは「読んで☆."
      "txt」をご覧下さい。";
  for (int showing = 0; showing < 2; ++showing) {
    Form3 about;
    HWND form = about.Load(nullptr);
    EXPECT_EQ(TextOf(form), "バージョン情報");
    ExpectControls(
        form,
        {
            {"Frame1", "TallyrunEtchedFrame", "", 240, 420, 4095, 1995},
            {"Label1", "Static", "Tallyrun.exe\u3000Ver 1.02.0000 (2002.06.26)", 120, 120, 4335,
             255},
            {"Command1", "Button", "戻る", 300, 1560, 3495, 315, "Frame1", "ＭＳ Ｐゴシック"},
            {"Label4", "Static", description.c_str(), 180, 240, 3735, 1215, "Frame1"},
            {"Frame2", "TallyrunEtchedFrame", "", 120, 2460, 4335, 1515},
            {"Text1", "Edit",
             "【クレジット】\r\n企画・設計・プログラム：開発チーム\r\n試用と助言：ログを取って"
             "くださった皆さん\r\nご意見やご感想をお待ちしています。\r\n",
             120, 180, 4095, 1215, "Frame2", "ＭＳ Ｐゴシック"},
        },
        4575, 4050);
    EXPECT_FALSE(::GetWindowLongPtrW(about.control(Form3::Text1), GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(::GetFocus(), about.control(Form3::Command1));
    ::SendMessageW(about.control(Form3::Command1), BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindow(form));
  }
}

}  // namespace
}  // namespace tallyrun::testing
