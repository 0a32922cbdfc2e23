#include "ui/win32/form_window.h"

#include <algorithm>

#include "ui/win32/look.h"
#include "ui/win32/wide.h"

namespace tallyrun::ui::win32 {
namespace {

constexpr UINT_PTR kTimer = 1;
// The FormWindow of a form's own window, for the message loop.
constexpr wchar_t kWindowProperty[] = L"TallyrunFormWindow";
// A folder list's row, tall enough for its glyph.
constexpr int kFolderRowTwips = 240;
// A drive list shows this many rows when it drops down.
constexpr int kDropDownRows = 8;
// A list view's margins on either side of a row's text, or a little more.
constexpr int kLabelPaddingTwips = 180;

struct Made {
  const wchar_t* window_class;
  DWORD style;
  DWORD ex_style = 0;
};

// `first_option`: the first option of its frame, where Tab stops until
// another option is chosen.
Made MadeAs(const Control& c, bool default_button, bool first_option) {
  constexpr DWORD kList = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  switch (c.kind) {
    case Kind::kLabel:
      // A caption with "&" names the key that reaches the control after it.
      return {WC_STATICW, static_cast<DWORD>(
                              SS_LEFT | (c.caption.find('&') == c.caption.npos ? SS_NOPREFIX : 0))};
    case Kind::kTextBox:
      return {WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case Kind::kFrame:
      return {FrameClass(c.bordered), WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT};
    case Kind::kButton:
      return {WC_BUTTONW,
              static_cast<DWORD>(WS_TABSTOP | (default_button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON))};
    case Kind::kLogList:
      return {WC_LISTVIEWW,
              WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_OWNERDATA |
                  LVS_SHOWSELALWAYS,
              WS_EX_CLIENTEDGE};
    case Kind::kDriveList:
      return {WC_COMBOBOXW, WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST};
    case Kind::kFolderList:
      return {WC_LISTBOXW, kList | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, WS_EX_CLIENTEDGE};
    case Kind::kFileList:
      return {WC_LISTBOXW, kList, WS_EX_CLIENTEDGE};
    case Kind::kNote:
      return {WC_EDITW, WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL,
              WS_EX_CLIENTEDGE};
    case Kind::kCheck:
      return {WC_BUTTONW, WS_TABSTOP | BS_AUTOCHECKBOX};
    case Kind::kOption:
      // Checking an option moves the tab stop to it (the button's own rule).
      return {WC_BUTTONW, static_cast<DWORD>(BS_AUTORADIOBUTTON | (first_option ? WS_TABSTOP : 0))};
  }
  return {WC_STATICW, 0};
}

bool IsList(Kind kind) {
  return kind == Kind::kLogList || kind == Kind::kFolderList || kind == Kind::kFileList;
}

// A carriage return or a line feed alone starts a new line, as CR LF does in
// the controls and message boxes.
std::wstring WithLineBreaks(std::string_view text) {
  const std::wstring wide = Widen(text);
  std::wstring shown;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] != L'\r' && wide[i] != L'\n') {
      shown.push_back(wide[i]);
      continue;
    }
    shown += L"\r\n";
    if (wide[i] == L'\r' && i + 1 < wide.size() && wide[i + 1] == L'\n') ++i;
  }
  return shown;
}

std::string WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

// Shift, Ctrl and Alt held, as a key event tells them: 1, 2 and 4.
int ShiftState() {
  return (::GetKeyState(VK_SHIFT) < 0 ? 1 : 0) | (::GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
         (::GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

// A menu entry's key: its virtual key, the shift state held with it, and
// how a menu writes it after the entry's caption.
struct MenuKey {
  WPARAM key = 0;
  int shift = 0;
  const wchar_t* text = L"";
};

MenuKey KeyOf(Shortcut shortcut) {
  switch (shortcut) {
    case Shortcut::kNone:
      break;
    case Shortcut::kCtrlC:
      return {'C', 2, L"Ctrl+C"};
    case Shortcut::kCtrlF:
      return {'F', 2, L"Ctrl+F"};
    case Shortcut::kF3:
      return {VK_F3, 0, L"F3"};
    case Shortcut::kShiftF3:
      return {VK_F3, 1, L"Shift+F3"};
  }
  return {};
}

// The chosen row of a list view, or -1. Some list views (Wine's) look for it
// row by row, a tenth of a second in ten million rows, so the places it
// almost always is are asked first: nowhere, or the row with the focus.
int ChosenRow(HWND list) {
  if (ListView_GetSelectedCount(list) == 0) return -1;
  const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
  if (focused >= 0 && (ListView_GetItemState(list, focused, LVIS_SELECTED) & LVIS_SELECTED)) {
    return focused;
  }
  return ListView_GetNextItem(list, -1, LVNI_SELECTED);
}

// The chosen and the focused row of a list view back to plain ones. Asked
// of every row at once, the list would visit each of its million.
void Unchoose(HWND list) {
  for (const int row : {ChosenRow(list), ListView_GetNextItem(list, -1, LVNI_FOCUSED)}) {
    if (row >= 0) ListView_SetItemState(list, row, 0, LVIS_SELECTED | LVIS_FOCUSED);
  }
}

// While a message box or a dialog is up, the program's other windows take
// no input either, as they do not in a modal loop of the whole program: a
// window shown beside another would otherwise go on raising events.
class OthersDisabled {
 public:
  explicit OthersDisabled(HWND keep) : keep_(keep) {
    ::EnumThreadWindows(::GetCurrentThreadId(), Disable, reinterpret_cast<LPARAM>(this));
  }
  ~OthersDisabled() {
    for (HWND window : disabled_) {
      if (::IsWindow(window)) ::EnableWindow(window, TRUE);
    }
  }
  OthersDisabled(const OthersDisabled&) = delete;
  OthersDisabled& operator=(const OthersDisabled&) = delete;

 private:
  static BOOL CALLBACK Disable(HWND window, LPARAM self_pointer) {
    auto* self = reinterpret_cast<OthersDisabled*>(self_pointer);
    if (window != self->keep_ && ::GetPropW(window, kWindowProperty) != nullptr &&
        ::IsWindowEnabled(window)) {
      ::EnableWindow(window, FALSE);
      self->disabled_.push_back(window);
    }
    return TRUE;
  }

  HWND keep_;
  std::vector<HWND> disabled_;
};

std::optional<std::size_t> IndexOf(LRESULT index) {
  if (index < 0) return std::nullopt;
  return static_cast<std::size_t>(index);
}

}  // namespace

FormWindow::FormWindow(Form& form, FormWindow* owner)
    : form_(form), table_(form.Table()), owner_(owner) {
  if (!Libraries().loaded) return;
  const std::wstring window_class = L"Tallyrun" + Widen(table_.name);
  if (CreateForm(window_class.c_str(), Proc, Widen(table_.title).c_str(), table_.width,
                 table_.height, owner == nullptr ? nullptr : owner->hwnd_, this) == nullptr) {
    return;
  }
  ::SetPropW(hwnd_, kWindowProperty, this);
  MakeControls();
  Raise([this] { form_.Form_Load(*this); });
}

FormWindow::~FormWindow() {
  // Dropped without closing (a test's window): no Form_Unload.
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
  for (HFONT font : fonts_) ::DeleteObject(font);
}

const Control& FormWindow::ControlAt(int control) const {
  return table_.controls[static_cast<std::size_t>(control)];
}

void FormWindow::MakeControls() {
  bool takes_drops = false;
  std::vector<int> frames_with_options;
  for (std::size_t i = 0; i < table_.controls.size(); ++i) {
    const Control& c = table_.controls[i];
    const int row = static_cast<int>(i);
    const bool first_option =
        c.kind == Kind::kOption &&
        std::ranges::find(frames_with_options, c.in) == frames_with_options.end();
    if (first_option) frames_with_options.push_back(c.in);
    const Made made = MadeAs(c, row == table_.default_button, first_option);
    captions_.emplace_back(c.caption);
    HWND parent = c.in < 0 ? hwnd_ : controls_[static_cast<std::size_t>(c.in)];
    // Every control is a group of its own but the options of a frame, one
    // group, which the arrow keys go round; from any other control they
    // move nowhere, so never onto an option that they would choose.
    const DWORD group = c.kind == Kind::kOption && !first_option ? 0 : WS_GROUP;
    HWND hwnd = ::CreateWindowExW(
        made.ex_style, made.window_class, WithLineBreaks(c.caption).c_str(),
        WS_CHILD | WS_VISIBLE | group | made.style | (c.starts_disabled ? WS_DISABLED : 0), 0, 0, 0,
        0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + row)),
        ::GetModuleHandleW(nullptr), nullptr);
    controls_.push_back(hwnd);
    if (c.kind == Kind::kLogList) {
      ListView_SetExtendedListViewStyle(hwnd, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
      LVCOLUMNW column{};
      column.mask = LVCF_WIDTH;
      ListView_InsertColumn(hwnd, 0, &column);
      AddRowTips(hwnd, row);
    }
    // After the tip's own hook, so that the list's handler sees the mouse first.
    if (IsList(c.kind)) {
      Libraries().SetWindowSubclass(hwnd, ListProc, i, reinterpret_cast<DWORD_PTR>(this));
    }
    takes_drops = takes_drops || c.takes_drops;
  }
  // Taken by the window, so that a drop counts on a list that is disabled.
  if (takes_drops) Libraries().DragAcceptFiles(hwnd_, TRUE);
  Lay(DpiOf(hwnd_));
}

void FormWindow::Lay(UINT dpi) {
  std::vector<HFONT> fonts;
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const Control& c = table_.controls[i];
    HWND hwnd = controls_[i];
    fonts.push_back(MakeFont(c.face, c.style, dpi));
    ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.back()), TRUE);
    const int height = Pixels(c.place.height, dpi);
    // A drop-down list is as tall as its open list; closed, as its field.
    ::SetWindowPos(hwnd, nullptr, Pixels(c.place.left, dpi), Pixels(c.place.top, dpi),
                   Pixels(c.place.width, dpi),
                   c.kind == Kind::kDriveList ? height * kDropDownRows : height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    switch (c.kind) {
      case Kind::kDriveList:
        ::SendMessageW(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                       height - 2 * ::GetSystemMetricsForDpi(SM_CYEDGE, dpi) -
                           2 * ::GetSystemMetricsForDpi(SM_CYBORDER, dpi));
        break;
      case Kind::kFolderList:
        ::SendMessageW(hwnd, LB_SETITEMHEIGHT, 0, Pixels(kFolderRowTwips, dpi));
        break;
      case Kind::kLogList: {
        ListView_SetColumnWidth(hwnd, 0, LVSCW_AUTOSIZE_USEHEADER);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = hwnd;
        tool.uId = i;
        ::GetClientRect(hwnd, &tool.rect);
        ::SendMessageW(tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
        ::SendMessageW(tip_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.back()), FALSE);
        break;
      }
      case Kind::kNote:
        FitScrollBar(hwnd);
        break;
      default:
        break;
    }
  }
  for (HFONT font : fonts_) ::DeleteObject(font);
  fonts_ = std::move(fonts);
}

void FormWindow::Show() {
  if (hwnd_ == nullptr) return;
  focus_ = table_.focus < 0 ? nullptr : control(table_.focus);
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  if (focus_ != nullptr) ::SetFocus(focus_);
}

void FormWindow::RunUntilClosed() {
  MSG msg;
  while (hwnd_ != nullptr) {
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      // The program is ending: every loop out to the main one must see that.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (Translate(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

bool FormWindow::Translate(MSG& msg) {
  HWND top = ::GetAncestor(msg.hwnd, GA_ROOT);
  if (top == nullptr) return false;
  // Taken before the control sees it, as an accelerator is: no character follows.
  auto* window = static_cast<FormWindow*>(::GetPropW(top, kWindowProperty));
  if (window != nullptr && window->TakeMenuKey(msg)) return true;
  // Tab and the arrow keys move the focus; Enter and Esc reach the window.
  return ::IsDialogMessageW(top, &msg) != FALSE;
}

bool FormWindow::TakeMenuKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || hwnd_ == nullptr || closing_) return false;
  const int shift = ShiftState();
  for (std::size_t i = 0; i < table_.menu.size(); ++i) {
    const MenuItem& item = table_.menu[i];
    const MenuKey key = KeyOf(item.shortcut);
    if (key.key == 0 || key.key != msg.wParam || key.shift != shift) continue;
    // A key of one control's only while that control has the focus.
    if (item.on >= 0 && msg.hwnd != control(item.on)) continue;
    Raise([&] { form_.MenuClick(static_cast<int>(i)); });
    return true;
  }
  return false;
}

template <typename Event>
void FormWindow::Raise(Event event) {
  ++in_form_;
  event();
  if (--in_form_ == 0 && timer_due_ && hwnd_ != nullptr) {
    timer_due_ = false;
    ::SetTimer(hwnd_, kTimer, USER_TIMER_MINIMUM, nullptr);
  }
}

LRESULT CALLBACK FormWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
  return self->Handle(msg, wp, lp);
}

LRESULT FormWindow::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      // Esc in a dialog is its own close command.
      if (LOWORD(wp) == IDCANCEL && owner_ != nullptr) {
        OnClose();
      } else {
        OnCommand(static_cast<int>(LOWORD(wp)) - kFirstControlId, HIWORD(wp));
      }
      return 0;
    case DM_GETDEFID:
      // Enter anywhere but in a list presses the default button.
      if (table_.default_button < 0) return 0;
      return MAKELRESULT(kFirstControlId + table_.default_button, DC_HASDEFID);
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<const NMHDR*>(lp));
      return 0;
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight =
          static_cast<UINT>(Pixels(kFolderRowTwips, DpiOf(hwnd_)));
      return TRUE;
    case WM_DRAWITEM:
      DrawFolder(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      return TRUE;
    case WM_DROPFILES:
      OnDrop(reinterpret_cast<HDROP>(wp));
      return 0;
    case WM_TIMER:
      if (wp == kTimer) OnTimer();
      return 0;
    case WM_ACTIVATE:
      // The focus comes back where it was when a message box or a dialog
      // took it away.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(hwnd_, focus)) focus_ = focus;
      } else if (focus_ != nullptr && ::IsWindow(focus_)) {
        ::SetFocus(focus_);
        return 0;
      }
      break;
    case WM_DPICHANGED:
      FitForm(hwnd_, table_.width, table_.height, HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      Lay(HIWORD(wp));
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      ::RemovePropW(hwnd_, kWindowProperty);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT CALLBACK FormWindow::ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR row,
                                      DWORD_PTR self_pointer) {
  auto* self = reinterpret_cast<FormWindow*>(self_pointer);
  const int control = static_cast<int>(row);
  switch (msg) {
    case WM_GETDLGCODE:
      // Enter belongs to the list, not to the window's default button.
      if (wp == VK_RETURN) return Libraries().DefSubclassProc(hwnd, msg, wp, lp) | DLGC_WANTALLKEYS;
      break;
    case WM_CHAR:
      self->Raise([&] { self->form_.KeyPress(control, static_cast<int>(wp)); });
      // Enter means nothing more to the list itself, which would beep.
      if (wp == VK_RETURN || !::IsWindow(hwnd)) return 0;
      break;
    case WM_KEYUP:
      self->Raise([&] { self->form_.KeyUp(control, static_cast<int>(wp), ShiftState()); });
      if (!::IsWindow(hwnd)) return 0;  // the key closed the window
      break;
    case WM_CONTEXTMENU:
      self->OnContextMenu(hwnd, control, lp);
      return 0;
    case WM_MOUSEMOVE:
    case WM_MOUSEWHEEL:
    case WM_VSCROLL:
      if (self->tip_ != nullptr) self->FollowTip(hwnd);
      break;
    case WM_NOTIFY: {
      auto* tip = reinterpret_cast<NMTTDISPINFOW*>(lp);
      if (tip->hdr.hwndFrom == self->tip_ && tip->hdr.code == TTN_GETDISPINFOW) {
        self->TipText(hwnd, control, *tip);
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return Libraries().DefSubclassProc(hwnd, msg, wp, lp);
}

void FormWindow::OnCommand(int control, int code) {
  if (control < 0 || static_cast<std::size_t>(control) >= controls_.size()) return;
  switch (KindOf(control)) {
    case Kind::kButton:
    case Kind::kCheck:
    case Kind::kOption:
      if (code == BN_CLICKED) Raise([&] { form_.Click(control); });
      break;
    case Kind::kTextBox:
      // The user's edits only: the program's own text (SetText) is none.
      if (code == EN_CHANGE && !setting_text_) Raise([&] { form_.Change(control); });
      break;
    case Kind::kFolderList:
    case Kind::kFileList:
      if (code == LBN_DBLCLK) Raise([&] { form_.DblClick(control); });
      break;
    case Kind::kDriveList:
      // Only the user's choice: the program's own (Select) sends no notice.
      if (code == CBN_SELCHANGE) Raise([&] { form_.Change(control); });
      break;
    default:
      break;
  }
}

void FormWindow::OnNotify(const NMHDR& note) {
  const int control = static_cast<int>(note.idFrom) - kFirstControlId;
  if (control < 0 || static_cast<std::size_t>(control) >= controls_.size() ||
      KindOf(control) != Kind::kLogList) {
    return;
  }
  if (note.code == LVN_GETDISPINFOW) {
    // The list holds no text of its own: it asks for each row it shows.
    LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&note))->item;
    if ((item.mask & LVIF_TEXT) && item.iItem >= 0) {
      shown_row_ = Widen(form_.ListRow(control, static_cast<std::size_t>(item.iItem)).text);
      item.pszText = shown_row_.data();
    }
  } else if (note.code == NM_DBLCLK) {
    Raise([&] { form_.DblClick(control); });
  }
}

// A row cut short shows whole in a tip while the mouse points at it. The
// list view's own tips are not there in every version of it (Wine's), so
// the window keeps a tip of its own, one tool a list.
void FormWindow::AddRowTips(HWND list, int control) {
  if (tip_ == nullptr) {
    tip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                             ::GetModuleHandleW(nullptr), nullptr);
  }
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = list;
  tool.uId = static_cast<UINT_PTR>(control);
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  ::SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

int FormWindow::RowAtCursor(HWND list) {
  LVHITTESTINFO hit{};
  ::GetCursorPos(&hit.pt);
  ::MapWindowPoints(nullptr, list, &hit.pt, 1);
  return ListView_HitTest(list, &hit);
}

// Another row under the mouse: the tip shown goes, and the tip asks again.
void FormWindow::FollowTip(HWND list) {
  const int row = RowAtCursor(list);
  if (row == tip_row_) return;
  tip_row_ = row;
  ::SendMessageW(tip_, TTM_POP, 0, 0);
}

void FormWindow::TipText(HWND list, int control, NMTTDISPINFOW& tip) {
  // No text, no tip: an empty one, since some tips take a null text for a
  // string resource and show the text before.
  tip.szText[0] = L'\0';
  tip.lpszText = tip.szText;
  tip_row_ = RowAtCursor(list);
  RECT label;
  if (tip_row_ < 0 || !ListView_GetItemRect(list, tip_row_, &label, LVIR_LABEL)) return;
  tip_text_ = Widen(form_.ListRow(control, static_cast<std::size_t>(tip_row_)).text);
  // With the room the list leaves around a label's text.
  const int needs =
      ListView_GetStringWidth(list, tip_text_.c_str()) + Pixels(kLabelPaddingTwips, DpiOf(list));
  if (needs > label.right - label.left) tip.lpszText = tip_text_.data();
}

// The menu opens where the mouse asked for it; asked from the keyboard,
// under the chosen row, or at the list's corner without one.
void FormWindow::OnContextMenu(HWND list, int control, LPARAM at) {
  POINT place{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
  if (place.x == -1 && place.y == -1) {
    RECT client;
    ::GetClientRect(list, &client);
    place = {client.left, client.top};
    const int chosen = KindOf(control) == Kind::kLogList ? ChosenRow(list) : -1;
    RECT row;
    if (chosen >= 0 && ListView_GetItemRect(list, chosen, &row, LVIR_LABEL)) {
      place = {std::clamp(row.left, client.left, client.right),
               std::clamp(row.bottom, client.top, client.bottom)};
    }
    ::MapWindowPoints(list, nullptr, &place, 1);
  }
  menu_at_ = place;
  Raise([&] { form_.ContextMenu(control); });
  menu_at_.reset();
}

void FormWindow::OnDrop(HDROP drop) {
  const WindowLibraries& shell = Libraries();
  POINT at;
  const bool inside = shell.DragQueryPoint(drop, &at) != FALSE;
  int target = -1;
  for (std::size_t i = 0; inside && target < 0 && i < controls_.size(); ++i) {
    if (!table_.controls[i].takes_drops) continue;
    RECT place;
    ::GetWindowRect(controls_[i], &place);
    ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&place), 2);
    if (::PtInRect(&place, at)) target = static_cast<int>(i);
  }
  std::vector<DroppedItem> items;
  const UINT count = target < 0 ? 0 : shell.DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring name(shell.DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    name.resize(shell.DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
    std::string path = Narrow(name);
    // A name with a lone surrogate has no UTF-8 spelling.
    const bool exact = Widen(path) == name;
    items.push_back({std::move(path), exact});
  }
  shell.DragFinish(drop);
  if (target >= 0) Raise([&] { form_.OLEDragDrop(target, items); });
}

void FormWindow::OnTimer() {
  ::KillTimer(hwnd_, kTimer);
  if (in_form_ > 0) {
    timer_due_ = true;
    return;
  }
  Raise([this] { form_.Timer(); });
}

void FormWindow::OnClose() {
  // Not while a dialog of this window is open; that one closes first.
  if (!modal_open_) Close();
}

void FormWindow::Close() {
  if (closing_ || hwnd_ == nullptr) return;
  closing_ = true;
  Raise([this] { form_.Form_Unload(); });
  // Those shown beside it close with it, each unloading its own form.
  for (const auto& window : beside_) window->Close();
  // Enabled before this window goes, so that the owner is the one activated.
  if (modal_ && owner_->hwnd_ != nullptr) ::EnableWindow(owner_->hwnd_, TRUE);
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

void FormWindow::SetText(int control, std::string_view text) {
  if (hwnd_ == nullptr) return;
  HWND hwnd = this->control(control);
  switch (KindOf(control)) {
    case Kind::kTextBox:
      setting_text_ = true;
      ::SetWindowTextW(hwnd, Widen(text).c_str());
      setting_text_ = false;
      return;
    case Kind::kNote:
      ::SetWindowTextW(hwnd, WithLineBreaks(text).c_str());
      FitScrollBar(hwnd);
      return;
    default:
      captions_[static_cast<std::size_t>(control)] = Narrow(Widen(text));
      ::SetWindowTextW(hwnd, WithLineBreaks(text).c_str());
      return;
  }
}

std::string FormWindow::Text(int control) const {
  const Kind kind = KindOf(control);
  if (kind == Kind::kTextBox || kind == Kind::kNote) {
    return hwnd_ == nullptr ? std::string() : WindowText(this->control(control));
  }
  return captions_[static_cast<std::size_t>(control)];
}

void FormWindow::Enable(int control, bool enabled) {
  if (hwnd_ != nullptr) ::EnableWindow(this->control(control), enabled ? TRUE : FALSE);
}

void FormWindow::ListChanged(int control, std::size_t added_on_top) {
  if (hwnd_ == nullptr) return;
  HWND list = this->control(control);
  if (KindOf(control) == Kind::kLogList) {
    ShowLogRows(list, control, added_on_top);
    return;
  }
  const std::optional<std::size_t> selected = added_on_top > 0 ? Selected(control) : std::nullopt;
  ShowListRows(list, control);
  if (selected) Select(control, *selected + added_on_top);
}

// A change of count redraws the list's scroll bars there and then, several
// times over, and with some themes (Wine's) each time costs more than reading
// a thousand records. So the window's own drawing is held meanwhile (the
// list's WM_SETREDRAW would redo the same work when released) and the bar is
// drawn once, as it ends up. The list learns the count once per change.
void FormWindow::ShowLogRows(HWND list, int control, std::size_t added_on_top) {
  const int count = static_cast<int>(form_.ListCount(control));
  const int added = static_cast<int>(added_on_top);
  const int selected = ChosenRow(list);
  const int top = ListView_GetTopIndex(list);
  ::DefWindowProcW(list, WM_SETREDRAW, FALSE, 0);
  ListView_SetItemCountEx(list, count, added > 0 ? LVSICF_NOSCROLL : 0);
  // The one column fills the list beside its scroll bar, if it has one: the
  // list never scrolls sideways.
  ListView_SetColumnWidth(list, 0, LVSCW_AUTOSIZE_USEHEADER);
  if (added == 0) {
    Unchoose(list);
    if (count > 0) ListView_EnsureVisible(list, 0, FALSE);
  } else {
    // The chosen row stays chosen, and rows scrolled to stay in view.
    if (selected >= 0) {
      ListView_SetItemState(list, selected + added, LVIS_SELECTED | LVIS_FOCUSED,
                            LVIS_SELECTED | LVIS_FOCUSED);
    }
    RECT row;
    if (top > 0 && ListView_GetItemRect(list, 0, &row, LVIR_BOUNDS)) {
      ListView_Scroll(list, 0, added * (row.bottom - row.top));
    }
  }
  ::DefWindowProcW(list, WM_SETREDRAW, TRUE, 0);
  SCROLLINFO bar{};
  bar.cbSize = sizeof bar;
  bar.fMask = SIF_ALL;
  if (::GetScrollInfo(list, SB_VERT, &bar)) ::SetScrollInfo(list, SB_VERT, &bar, TRUE);
  ::InvalidateRect(list, nullptr, TRUE);
}

void FormWindow::ShowListRows(HWND list, int control) {
  const bool combo = KindOf(control) == Kind::kDriveList;
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(list, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
  const std::size_t count = form_.ListCount(control);
  for (std::size_t i = 0; i < count; ++i) {
    ::SendMessageW(list, combo ? CB_ADDSTRING : LB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(Widen(form_.ListRow(control, i).text).c_str()));
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

std::optional<std::size_t> FormWindow::Selected(int control) const {
  if (hwnd_ == nullptr) return std::nullopt;
  HWND list = this->control(control);
  switch (KindOf(control)) {
    case Kind::kLogList:
      return IndexOf(ChosenRow(list));
    case Kind::kDriveList:
      return IndexOf(::SendMessageW(list, CB_GETCURSEL, 0, 0));
    case Kind::kFolderList:
    case Kind::kFileList:
      return IndexOf(::SendMessageW(list, LB_GETCURSEL, 0, 0));
    default:
      return std::nullopt;
  }
}

void FormWindow::Select(int control, std::optional<std::size_t> row) {
  if (hwnd_ == nullptr) return;
  HWND list = this->control(control);
  const auto index = row ? static_cast<WPARAM>(*row) : static_cast<WPARAM>(-1);
  switch (KindOf(control)) {
    case Kind::kLogList:
      Unchoose(list);
      if (row) {
        ListView_SetItemState(list, static_cast<int>(*row), LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, static_cast<int>(*row), FALSE);
      }
      break;
    case Kind::kDriveList:
      ::SendMessageW(list, CB_SETCURSEL, index, 0);
      break;
    case Kind::kFolderList:
    case Kind::kFileList:
      ::SendMessageW(list, LB_SETCURSEL, index, 0);
      break;
    default:
      break;
  }
}

void FormWindow::ShowMessage(std::string_view text, std::string_view title) {
  const OthersDisabled others(hwnd_);
  ::MessageBoxW(hwnd_, WithLineBreaks(text).c_str(), Widen(title).c_str(), MB_OK);
}

void FormWindow::ShowModal(Form& dialog) {
  if (hwnd_ == nullptr) return;
  const OthersDisabled others(hwnd_);
  FormWindow window(dialog, this);
  if (!window.made()) return;
  window.modal_ = true;
  modal_open_ = true;
  ::EnableWindow(hwnd_, FALSE);
  window.Show();
  window.RunUntilClosed();
  modal_open_ = false;
  if (hwnd_ == nullptr) return;
  ::EnableWindow(hwnd_, TRUE);
  ::SetActiveWindow(hwnd_);
}

void FormWindow::SetBusy(bool busy) {
  if (busy) {
    HCURSOR before = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    if (before_busy_ == nullptr)
      before_busy_ = before != nullptr ? before : ::LoadCursorW(nullptr, IDC_ARROW);
  } else if (before_busy_ != nullptr) {
    ::SetCursor(before_busy_);
    before_busy_ = nullptr;
  }
}

void FormWindow::SetTimer(int milliseconds) {
  if (hwnd_ == nullptr) return;
  timer_due_ = false;
  ::SetTimer(hwnd_, kTimer, static_cast<UINT>(std::max<int>(milliseconds, USER_TIMER_MINIMUM)),
             nullptr);
}

void FormWindow::SetChecked(int control, bool checked) {
  if (hwnd_ == nullptr) return;
  const Control& c = ControlAt(control);
  // One option of a frame at a time, as the user's own choice leaves them.
  for (std::size_t i = 0; checked && c.kind == Kind::kOption && i < controls_.size(); ++i) {
    const Control& other = table_.controls[i];
    if (other.kind == Kind::kOption && other.in == c.in && static_cast<int>(i) != control) {
      ::SendMessageW(controls_[i], BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }
  ::SendMessageW(this->control(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool FormWindow::Checked(int control) const {
  return hwnd_ != nullptr &&
         ::SendMessageW(this->control(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Owned by this window, so that it stays in front of it, and handled by
// whichever message loop runs. Placed off this window, so that it hides
// none of what the user finds with it.
void FormWindow::ShowModeless(Form& dialog) {
  if (hwnd_ == nullptr) return;
  const auto shown =
      std::ranges::find_if(beside_, [&dialog](const auto& w) { return &w->form_ == &dialog; });
  if (shown != beside_.end() && (*shown)->hwnd_ != nullptr) {
    ::SetActiveWindow((*shown)->hwnd_);
    return;
  }
  if (shown != beside_.end()) beside_.erase(shown);
  auto window = std::make_unique<FormWindow>(dialog, this);
  if (!window->made()) return;
  PlaceBeside(window->hwnd_, hwnd_);
  window->Show();
  beside_.push_back(std::move(window));
}

void FormWindow::PopupMenu(const std::vector<MenuEntry>& entries) {
  if (hwnd_ == nullptr || entries.empty()) return;
  HMENU menu = ::CreatePopupMenu();
  if (menu == nullptr) return;
  for (const MenuEntry& entry : entries) {
    const MenuItem& item = table_.menu[static_cast<std::size_t>(entry.item)];
    std::wstring text = Widen(item.caption);
    const MenuKey key = KeyOf(item.shortcut);
    if (key.key != 0) text += L'\t' + std::wstring(key.text);
    // Numbered from 1: choosing nothing returns 0.
    ::AppendMenuW(menu, MF_STRING | (entry.enabled ? MF_ENABLED : MF_GRAYED),
                  static_cast<UINT_PTR>(entry.item) + 1, text.c_str());
  }
  POINT at;
  if (menu_at_) {
    at = *menu_at_;
  } else {
    ::GetCursorPos(&at);
  }
  const BOOL chosen = ::TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x,
                                       at.y, 0, hwnd_, nullptr);
  ::DestroyMenu(menu);
  if (chosen > 0) Raise([&] { form_.MenuClick(chosen - 1); });
}

bool FormWindow::CopyText(std::string_view text) {
  const std::wstring wide = Widen(text);
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
  if (memory == nullptr) return false;
  auto* copy = static_cast<wchar_t*>(::GlobalLock(memory));
  std::copy(wide.begin(), wide.end(), copy);
  copy[wide.size()] = L'\0';
  ::GlobalUnlock(memory);
  // Another program may hold the clipboard for a moment.
  bool open = false;
  for (int tries = 0; !open && tries < 10; ++tries) {
    open = ::OpenClipboard(hwnd_) != FALSE;
    if (!open) ::Sleep(10);
  }
  if (open) {
    ::EmptyClipboard();
    if (::SetClipboardData(CF_UNICODETEXT, memory) != nullptr) memory = nullptr;
    ::CloseClipboard();
  }
  if (memory == nullptr) return true;
  ::GlobalFree(memory);
  return false;
}

// A folder glyph before the name, indented by depth: open on the way down to
// the current folder, closed for the folders below it.
void FormWindow::DrawFolder(const DRAWITEMSTRUCT& item) {
  const int control = static_cast<int>(item.CtlID) - kFirstControlId;
  if (item.itemID == static_cast<UINT>(-1) || control < 0 ||
      static_cast<std::size_t>(control) >= controls_.size()) {
    return;
  }
  const ui::Row folder = form_.ListRow(control, item.itemID);
  const UINT dpi = DpiOf(item.hwndItem);
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const int unit = Pixels(15, dpi);
  const int left = item.rcItem.left + unit * (2 + 8 * folder.depth);
  const int mid = (item.rcItem.top + item.rcItem.bottom) / 2;
  HBRUSH fill = ::CreateSolidBrush(folder.open ? RGB(255, 236, 150) : RGB(240, 200, 90));
  HGDIOBJ old_brush = ::SelectObject(item.hDC, fill);
  HGDIOBJ old_pen = ::SelectObject(item.hDC, ::GetStockObject(BLACK_PEN));
  ::Rectangle(item.hDC, left, mid - 4 * unit, left + 5 * unit, mid - 2 * unit);
  ::Rectangle(item.hDC, left, mid - 3 * unit, left + 12 * unit, mid + 5 * unit);
  if (folder.open) {
    const POINT flap[] = {{left, mid + 5 * unit},
                          {left + 3 * unit, mid},
                          {left + 14 * unit, mid},
                          {left + 11 * unit, mid + 5 * unit}};
    ::Polygon(item.hDC, flap, 4);
  }
  ::SelectObject(item.hDC, old_pen);
  ::SelectObject(item.hDC, old_brush);
  ::DeleteObject(fill);
  RECT text = item.rcItem;
  text.left = left + 17 * unit;
  ::SetBkMode(item.hDC, TRANSPARENT);
  ::SetTextColor(item.hDC, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const std::wstring name = Widen(folder.text);
  ::DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (item.itemState & ODS_FOCUS) ::DrawFocusRect(item.hDC, &item.rcItem);
}

}  // namespace tallyrun::ui::win32
