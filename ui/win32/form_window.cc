#include "ui/win32/form_window.h"

#include <algorithm>

#include "ui/win32/look.h"
#include "ui/win32/wide.h"

namespace tallyrun::ui::win32 {
namespace {

constexpr UINT_PTR kTimer = 1;
// A folder list's row, tall enough for its glyph.
constexpr int kFolderRowTwips = 240;
// A drive list shows this many rows when it drops down.
constexpr int kDropDownRows = 8;

struct Made {
  const wchar_t* window_class;
  DWORD style;
  DWORD ex_style = 0;
};

Made MadeAs(const Control& c, bool default_button) {
  constexpr DWORD kList = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  switch (c.kind) {
    case Kind::kLabel:
      return {WC_STATICW, SS_LEFT | SS_NOPREFIX};
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

// The chosen and the focused row of a list view back to plain ones. Asked
// of every row at once, the list would visit each of its million.
void Unchoose(HWND list) {
  for (const UINT which : {LVNI_SELECTED, LVNI_FOCUSED}) {
    const int row = ListView_GetNextItem(list, -1, which);
    if (row >= 0) ListView_SetItemState(list, row, 0, LVIS_SELECTED | LVIS_FOCUSED);
  }
}

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
  MakeControls();
  Raise([this] { form_.Form_Load(*this); });
}

FormWindow::~FormWindow() {
  // Dropped without closing (a test's window): no Form_Unload.
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
  for (ATOM name : names_) ::GlobalDeleteAtom(name);
  for (HFONT font : fonts_) ::DeleteObject(font);
}

const Control& FormWindow::ControlAt(int control) const {
  return table_.controls[static_cast<std::size_t>(control)];
}

void FormWindow::MakeControls() {
  bool takes_drops = false;
  for (std::size_t i = 0; i < table_.controls.size(); ++i) {
    const Control& c = table_.controls[i];
    const int row = static_cast<int>(i);
    const Made made = MadeAs(c, row == table_.default_button);
    captions_.emplace_back(c.caption);
    HWND parent = c.in < 0 ? hwnd_ : controls_[static_cast<std::size_t>(c.in)];
    HWND hwnd = ::CreateWindowExW(
        made.ex_style, made.window_class, WithLineBreaks(c.caption).c_str(),
        WS_CHILD | WS_VISIBLE | made.style | (c.starts_disabled ? WS_DISABLED : 0), 0, 0, 0, 0,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + row)),
        ::GetModuleHandleW(nullptr), nullptr);
    controls_.push_back(hwnd);
    names_.push_back(::GlobalAddAtomW(Widen(c.name).c_str()));
    ::SetPropW(hwnd, kNameProperty, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(names_.back())));
    if (c.kind == Kind::kLogList) {
      ListView_SetExtendedListViewStyle(hwnd, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
      LVCOLUMNW column{};
      column.mask = LVCF_WIDTH;
      ListView_InsertColumn(hwnd, 0, &column);
    }
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
      case Kind::kLogList:
        ListView_SetColumnWidth(hwnd, 0, LVSCW_AUTOSIZE_USEHEADER);
        break;
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
    // Tab and the arrow keys move the focus; Enter and Esc reach the window.
    HWND top = ::GetAncestor(msg.hwnd, GA_ROOT);
    if (top != nullptr && ::IsDialogMessageW(top, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
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
      for (HWND hwnd : controls_) ::RemovePropW(hwnd, kNameProperty);
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
    default:
      break;
  }
  return Libraries().DefSubclassProc(hwnd, msg, wp, lp);
}

void FormWindow::OnCommand(int control, int code) {
  if (control < 0 || static_cast<std::size_t>(control) >= controls_.size()) return;
  switch (KindOf(control)) {
    case Kind::kButton:
      if (code == BN_CLICKED) Raise([&] { form_.Click(control); });
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
  // Enabled before this window goes, so that the owner is the one activated.
  if (owner_ != nullptr && owner_->hwnd_ != nullptr) ::EnableWindow(owner_->hwnd_, TRUE);
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

void FormWindow::SetText(int control, std::string_view text) {
  if (hwnd_ == nullptr) return;
  HWND hwnd = this->control(control);
  switch (KindOf(control)) {
    case Kind::kTextBox:
      ::SetWindowTextW(hwnd, Widen(text).c_str());
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
  const int selected = ListView_GetNextItem(list, -1, LVNI_SELECTED);
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
      return IndexOf(ListView_GetNextItem(list, -1, LVNI_SELECTED));
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
  ::MessageBoxW(hwnd_, WithLineBreaks(text).c_str(), Widen(title).c_str(), MB_OK);
}

void FormWindow::ShowModal(Form& dialog) {
  if (hwnd_ == nullptr) return;
  FormWindow window(dialog, this);
  if (!window.made()) return;
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
