#include "ui/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <optional>

#include "core/log_reader.h"
#include "core/visible_text.h"
#include "platform/files.h"
#include "platform/program_start.h"
#include "platform/win32/shell.h"
#include "ui/decide/choices.h"
#include "ui/decide/drop_batch.h"
#include "ui/decide/texts.h"
#include "ui/win32/about_box.h"
#include "ui/win32/log_file_chooser.h"

namespace tallyrun::ui::win32 {
namespace {

constexpr wchar_t kClass[] = L"TallyrunForm1";
constexpr int kWidth = 7200, kHeight = 5400;
constexpr int kKeyAsciiEnter = 13;

bool Clicked(WPARAM wp, int row) {
  return LOWORD(wp) == kFirstControlId + row && HIWORD(wp) == BN_CLICKED;
}

}  // namespace

Form1::Form1(Env& env, SettingsLocation settings, std::string LogFilePath)
    : env_(env), settings_(std::move(settings)), log_file_path_(std::move(LogFilePath)) {}

Form1::~Form1() {
  if (::IsWindow(form_)) {
    ends_program_ = false;
    ::DestroyWindow(form_);
  }
}

bool Form1::Show() {
  static const bool registered = [] {
    if (!Libraries().loaded) return false;
    INITCOMMONCONTROLSEX common{sizeof common, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    Libraries().InitCommonControlsEx(&common);
    return RegisterFormClass(kClass, Proc, true);
  }();
  if (!registered) return false;
  form_ = CreateForm(kClass, text::kForm1Title, kWidth, kHeight, nullptr, this);
  if (form_ == nullptr) return false;
  BuildControls();
  SetUpList1();
  // Taken by the window, so that a drop on the list counts even while the
  // list is empty and disabled.
  Libraries().DragAcceptFiles(form_, TRUE);
  Form_Load();
  ::SetWindowTextW(controls_[Text1], Widen(log_file_path_).c_str());
  GetListFromLogFile();
  ::ShowWindow(form_, SW_SHOWNORMAL);
  ::UpdateWindow(form_);
  return true;
}

void Form1::BuildControls() {
  constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
  constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
  controls_.Create(
      form_,
      {
          {L"Label1", WC_STATICW, text::kForm1Label1, kLabel, 0, 120, 120, 3330, 180},
          {L"Text1", WC_EDITW, "", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 120, 360, 6135,
           315},
          {L"Frame1", FrameClass(), "", WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, 6300, 240, 795, 495},
          {L"Command1", WC_BUTTONW, text::kForm1Command1, kButton, 0, 60, 60, 675, 375, Frame1},
          {L"List1", WC_LISTVIEWW, "",
           WS_TABSTOP | WS_DISABLED | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL |
               LVS_OWNERDATA | LVS_SHOWSELALWAYS,
           WS_EX_CLIENTEDGE, 120, 1140, 6975, 3300},
          {L"Label3", WC_STATICW, text::kForm1Label3, kLabel, 0, 120, 900, 3150, 180},
          {L"Frame2", FrameClass(), "", WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, 5400, 4740, 1695,
           555},
          {L"Command2", WC_BUTTONW, text::kForm1Command2, kButton, 0, 60, 120, 555, 375, Frame2},
          {L"Command3", WC_BUTTONW, text::kForm1Command3, kButton, 0, 840, 60, 795, 435, Frame2},
          {L"Label2", WC_STATICW, "", kLabel, 0, 120, 4560, 5130, 720},
      });
}

// One column as wide as the list; Enter reaches the list's own key handler.
void Form1::SetUpList1() {
  HWND list = controls_[List1];
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH;
  RECT inside;
  ::GetClientRect(list, &inside);
  column.cx = inside.right - inside.left;
  ListView_InsertColumn(list, 0, &column);
  Libraries().SetWindowSubclass(list, List1Proc, 1, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK Form1::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->form_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Form1*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

LRESULT CALLBACK Form1::List1Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                  DWORD_PTR self) {
  if (msg == WM_GETDLGCODE && wp == VK_RETURN) return DLGC_WANTALLKEYS;
  if (msg == WM_CHAR) {
    reinterpret_cast<Form1*>(self)->List1_KeyPress(static_cast<int>(wp));
    if (wp == kKeyAsciiEnter) return 0;
  }
  return Libraries().DefSubclassProc(hwnd, msg, wp, lp);
}

// The list holds no text of its own: it asks for each entry it shows.
void Form1::List1_Notify(LPARAM lp) {
  const auto* note = reinterpret_cast<const NMHDR*>(lp);
  if (note->code == LVN_GETDISPINFOW) {
    auto* item = &reinterpret_cast<NMLVDISPINFOW*>(lp)->item;
    const auto i = static_cast<std::size_t>(item->iItem);
    if ((item->mask & LVIF_TEXT) && i < entries_.size()) {
      shown_entry_ = Widen(VisibleText(entries_[i], ControlStyle::kPictures));
      item->pszText = shown_entry_.data();
    }
  } else if (note->code == NM_DBLCLK) {
    List1_DblClick();
  }
}

LRESULT Form1::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (Clicked(wp, Command1)) Command1_Click();
      if (Clicked(wp, Command2)) Command2_Click();
      if (Clicked(wp, Command3)) Command3_Click();
      return 0;
    case WM_NOTIFY:
      if (reinterpret_cast<const NMHDR*>(lp)->hwndFrom != controls_[List1]) break;
      List1_Notify(lp);
      return 0;
    case WM_DROPFILES:
      List1_OLEDragDrop(reinterpret_cast<HDROP>(wp));
      return 0;
    case WM_DPICHANGED:
      FitForm(form_, kWidth, kHeight, HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      controls_.Lay(HIWORD(wp));
      ListView_SetColumnWidth(controls_[List1], 0, LVSCW_AUTOSIZE_USEHEADER);
      return 0;
    case WM_CLOSE:
      Form_Unload();
      ::DestroyWindow(form_);
      return 0;
    case WM_DESTROY:
      ::SetWindowLongPtrW(form_, GWLP_USERDATA, 0);
      if (ends_program_) ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(form_, msg, wp, lp);
}

void Form1::Form_Load() { ::SetWindowTextW(controls_[Label2], Widen(text::kForm1Label2).c_str()); }

void Form1::Form_Unload() {
  const Status saved = SaveLogFilePath(env_, settings_, ShownLogFile(), log_file_path_);
  if (!saved.ok()) {
    platform::TellUser(
        {"設定ファイル「" + settings_.settings_file + "」に保存できません: " + saved.reason()},
        true);
  }
}

std::string Form1::ShownLogFile() const {
  HWND text1 = controls_[Text1];
  std::wstring shown(static_cast<std::size_t>(::GetWindowTextLengthW(text1)) + 1, L'\0');
  shown.resize(static_cast<std::size_t>(
      ::GetWindowTextW(text1, shown.data(), static_cast<int>(shown.size()))));
  return Narrow(shown);
}

// A change of count redraws the list's scroll bars there and then, several
// times over, and with some themes (Wine's) each time costs more than reading
// a thousand records. So the window's own drawing is held meanwhile (the
// list's WM_SETREDRAW would redo the same work when released) and the bar is
// drawn once, as it ends up.
void Form1::ShowEntryCount(int keep_selected) {
  HWND list = controls_[List1];
  ::DefWindowProcW(list, WM_SETREDRAW, FALSE, 0);
  ListView_SetItemCountEx(list, static_cast<int>(entries_.size()), 0);
  // The one column fills the list beside its scroll bar, if it has one: the
  // list never scrolls sideways.
  ListView_SetColumnWidth(list, 0, LVSCW_AUTOSIZE_USEHEADER);
  if (keep_selected >= 0) {
    ListView_SetItemState(list, keep_selected, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
  }
  ::DefWindowProcW(list, WM_SETREDRAW, TRUE, 0);
  SCROLLINFO bar{};
  bar.cbSize = sizeof bar;
  bar.fMask = SIF_ALL;
  if (::GetScrollInfo(list, SB_VERT, &bar)) ::SetScrollInfo(list, SB_VERT, &bar, TRUE);
  ::InvalidateRect(list, nullptr, TRUE);
}

// The list learns the new count once, at the end, for the same reason; until
// then it asks for nothing, as no message is handled in between.
void Form1::GetListFromLogFile() {
  entries_.Clear();
  const std::string shown = ShownLogFile();
  if (shown.empty()) {
    ShowEntryCount(-1);
    return;
  }
  {
    HCURSOR before = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    entries_ = ReadLogEntries(env_, shown);
    ::SetCursor(before);
  }
  ShowEntryCount(-1);
  ::EnableWindow(controls_[List1], entries_.empty() ? FALSE : TRUE);
}

void Form1::List1_OLEDragDrop(HDROP Data) {
  POINT at;
  const bool in_client = Libraries().DragQueryPoint(Data, &at) != FALSE;
  RECT list;
  ::GetWindowRect(controls_[List1], &list);
  ::MapWindowPoints(nullptr, form_, reinterpret_cast<POINT*>(&list), 2);
  if (!in_client || !::PtInRect(&list, at)) {
    Libraries().DragFinish(Data);
    return;
  }
  const std::string log_file = ShownLogFile();
  DropBatch drop(env_);
  Status written = Status::Ok();
  {
    HCURSOR before = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    const UINT count = Libraries().DragQueryFileW(Data, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      std::wstring name(Libraries().DragQueryFileW(Data, i, nullptr, 0) + 1, L'\0');
      name.resize(Libraries().DragQueryFileW(Data, i, name.data(), static_cast<UINT>(name.size())));
      std::string path = Narrow(name);
      drop.Take(path, Widen(path) == name);
    }
    Libraries().DragFinish(Data);
    written = drop.Write(log_file);
    ::SetCursor(before);
  }
  if (!drop.added().empty()) {
    const int selected = ListView_GetNextItem(controls_[List1], -1, LVNI_SELECTED);
    for (std::size_t i = drop.added().size(); i-- > 0;) entries_.AddNewest(drop.added()[i]);
    ::EnableWindow(controls_[List1], TRUE);
    ShowEntryCount(selected < 0 ? -1 : selected + static_cast<int>(drop.added().size()));
  }
  if (!drop.refused().empty()) ShowMessage(form_, RefusalText(drop.refused()), kDropTitle);
  if (!written.ok()) ShowMessage(form_, WriteFailureText(log_file, written), kDropTitle);
}

void Form1::List1_DblClick() {
  const int selected = ListView_GetNextItem(controls_[List1], -1, LVNI_SELECTED);
  if (selected < 0 || static_cast<std::size_t>(selected) >= entries_.size()) return;
  const std::string_view entry = entries_[static_cast<std::size_t>(selected)];
  if (entry.empty()) return;
  const std::optional<EntryTarget> target = TargetOf(entry);
  if (!target || !platform::Exists(target->path)) {
    ShowMessage(form_, text::kNotFound, text::kNotFoundTitle);
    return;
  }
  platform::StartExplorer(target->path, target->folder);
}

void Form1::List1_KeyPress(int KeyAscii) {
  if (KeyAscii == kKeyAsciiEnter) List1_DblClick();
}

void Form1::Command1_Click() {
  {
    Form2 chooser(strFileName);
    chooser.Show(form_);
  }
  if (AdoptsChoice(Narrow(strFileName), ShownLogFile())) {
    ::SetWindowTextW(controls_[Text1], strFileName.c_str());
    GetListFromLogFile();
  }
}

void Form1::Command2_Click() {
  Form3 about;
  about.Show(form_);
}

void Form1::Command3_Click() { ::SendMessageW(form_, WM_CLOSE, 0, 0); }

}  // namespace tallyrun::ui::win32
