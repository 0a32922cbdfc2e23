#include "ui/win32/log_file_chooser.h"

#include <commctrl.h>

#include "core/paths.h"
#include "platform/files.h"
#include "platform/win32/shell.h"
#include "ui/decide/texts.h"

namespace tallyrun::ui::win32 {
namespace {

constexpr wchar_t kClass[] = L"TallyrunForm2";
constexpr int kWidth = 7005, kHeight = 3900;
constexpr int kKeyCodeEnter = 13;
constexpr int kDriveRowTwips = 300, kFolderRowTwips = 240, kDriveRowsShown = 8;

bool From(WPARAM wp, int row, int code) {
  return LOWORD(wp) == kFirstControlId + row && HIWORD(wp) == code;
}

bool SameDrive(std::string_view a, std::string_view b) {
  return a.size() >= 2 && b.size() >= 2 && a[1] == ':' && b[1] == ':' &&
         (a[0] | 0x20) == (b[0] | 0x20);
}

// "c:\a\b" gives "c:\", "c:\a" and "c:\a\b".
std::vector<std::string> AncestorsAndSelf(const std::string& folder) {
  std::vector<std::string> chain;
  std::string root = folder.substr(0, folder.find('\\') + 1);
  chain.push_back(root);
  for (std::size_t at = root.size(); at < folder.size();) {
    std::size_t end = folder.find('\\', at);
    if (end == std::string::npos) end = folder.size();
    chain.push_back(folder.substr(0, end));
    at = end + 1;
  }
  return chain;
}

std::string NameOf(const std::string& folder) {
  if (IsFolderPath(folder)) return folder;  // a root shows whole
  return folder.substr(folder.find_last_of('\\') + 1);
}

}  // namespace

Form2::~Form2() {
  if (::IsWindow(form_)) ::DestroyWindow(form_);
}

HWND Form2::Load(HWND owner) {
  static const bool registered = RegisterFormClass(kClass, Proc);
  if (!registered) return nullptr;
  form_ = CreateForm(kClass, text::kForm2Title, kWidth, kHeight, owner, this);
  if (form_ == nullptr) return nullptr;
  constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
  constexpr DWORD kList = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  controls_.Create(
      form_, {
                 {L"Label1", WC_STATICW, text::kForm2Label1, kLabel, 0, 120, 120, 3135, 195},
                 {L"Label2", WC_STATICW, text::kForm2Label2, kLabel, 0, 120, 680, 3135, 195},
                 {L"Label3", WC_STATICW, text::kForm2Label3, kLabel, 0, 3480, 120, 3375, 255},
                 {L"File1", WC_LISTBOXW, "", kList, WS_EX_CLIENTEDGE, 3480, 300, 3375, 2970},
                 {L"Frame1", FrameClass(), "", 0, WS_EX_CONTROLPARENT, 3480, 3360, 3375, 495},
                 {L"Command1", WC_BUTTONW, text::kForm2Command1, WS_TABSTOP | BS_PUSHBUTTON, 0, 60,
                  0, 1995, 435, Frame1, Face::kGothic, kBold | kUnderline},
                 {L"Command2", WC_BUTTONW, text::kForm2Command2, WS_TABSTOP | BS_PUSHBUTTON, 0,
                  2280, 0, 1035, 435, Frame1, Face::kGothic, kBold},
                 {L"Drive1", WC_COMBOBOXW, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 120,
                  300, 3135, kDriveRowTwips},
                 {L"Dir1", WC_LISTBOXW, "", kList | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS,
                  WS_EX_CLIENTEDGE, 120, 870, 3135, 2400},
                 {L"Label4", WC_STATICW, text::kForm2Label4, kLabel, 0, 120, 3360, 3135, 435},
             });
  LayLists(::GetDpiForWindow(form_));
  Libraries().SetWindowSubclass(controls_[File1], KeysProc, File1,
                                reinterpret_cast<DWORD_PTR>(this));
  Libraries().SetWindowSubclass(controls_[Dir1], KeysProc, Dir1, reinterpret_cast<DWORD_PTR>(this));
  Form_Load();
  ::SetFocus(controls_[File1]);
  return form_;
}

void Form2::Show(HWND owner) {
  if (Load(owner) != nullptr) RunModal(form_, owner);
}

void Form2::LayLists(UINT dpi) {
  HWND drive = controls_[Drive1];
  RECT r;
  ::GetWindowRect(drive, &r);
  // A drop-down list is as tall as its open list; closed, as its field.
  ::SetWindowPos(drive, nullptr, 0, 0, r.right - r.left,
                 Pixels(kDriveRowTwips, dpi) * kDriveRowsShown,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SendMessageW(drive, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                 Pixels(kDriveRowTwips, dpi) - 2 * ::GetSystemMetricsForDpi(SM_CYEDGE, dpi) -
                     2 * ::GetSystemMetricsForDpi(SM_CYBORDER, dpi));
  ::SendMessageW(controls_[Dir1], LB_SETITEMHEIGHT, 0, Pixels(kFolderRowTwips, dpi));
}

void Form2::Form_Load() {
  HWND drive = controls_[Drive1];
  const std::string here = platform::CurrentDirectory();
  for (const std::string& entry : platform::DriveEntries()) {
    const int at = static_cast<int>(
        ::SendMessageW(drive, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str())));
    if (SameDrive(entry, here)) ::SendMessageW(drive, CB_SETCURSEL, at, 0);
  }
  SetDir1Path(here);
  const int current = static_cast<int>(::SendMessageW(drive, CB_GETCURSEL, 0, 0));
  drives_ = std::make_unique<DriveRecovery>(current < 0 ? "" : ItemText(Drive1, current));
}

std::string Form2::ItemText(Control list, int index) const {
  const bool combo = list == Drive1;
  HWND hwnd = controls_[list];
  const auto n = ::SendMessageW(hwnd, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0);
  if (n < 0) return {};
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  ::SendMessageW(hwnd, combo ? CB_GETLBTEXT : LB_GETTEXT, index,
                 reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(n));
  return Narrow(text);
}

void Form2::Drive1_Change() {
  const int current = static_cast<int>(::SendMessageW(controls_[Drive1], CB_GETCURSEL, 0, 0));
  if (current < 0) return;
  const std::string entry = ItemText(Drive1, current);
  const std::string root = DriveRoot(entry);
  const bool entered = platform::CanEnter(root);
  if (entered) SetDir1Path(root);
  if (drives_->Changed(entry, entered) != DriveRecovery::Next::kTellAndReturn) return;
  ShowMessage(form_, text::kDriveFailure, text::kDriveFailureTitle);
  const std::wstring previous = Widen(drives_->PreviousDrive());
  ::SendMessageW(controls_[Drive1], CB_SELECTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(previous.c_str()));
  // Selecting by program sends no notice: the change is run here.
  Drive1_Change();
}

void Form2::SetDir1Path(const std::string& folder) {
  dir1_path_ = folder;
  folders_.clear();
  const std::vector<std::string> chain = AncestorsAndSelf(folder);
  for (std::size_t i = 0; i < chain.size(); ++i) {
    folders_.push_back({chain[i], static_cast<int>(i), true});
  }
  for (const std::string& name : platform::Subfolders(folder)) {
    folders_.push_back({JoinPath(folder, name), static_cast<int>(chain.size()), false});
  }
  HWND dir = controls_[Dir1];
  ::SendMessageW(dir, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(dir, LB_RESETCONTENT, 0, 0);
  for (const Folder& f : folders_) {
    ::SendMessageW(dir, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(NameOf(f.path)).c_str()));
  }
  ::SendMessageW(dir, LB_SETCURSEL, chain.size() - 1, 0);
  ::SendMessageW(dir, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(dir, nullptr, TRUE);
  Dir1_Change();
}

void Form2::Dir1_Change() {
  HWND file = controls_[File1];
  ::SendMessageW(file, WM_SETREDRAW, FALSE, 0);
  ::SendMessageW(file, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : platform::FilesIn(dir1_path_)) {
    if (!MatchesLogFilePattern(name)) continue;
    ::SendMessageW(file, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(name).c_str()));
  }
  ::SendMessageW(file, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(file, nullptr, TRUE);
}

void Form2::OpenHighlightedFolder() {
  const int at = static_cast<int>(::SendMessageW(controls_[Dir1], LB_GETCURSEL, 0, 0));
  if (at < 0 || static_cast<std::size_t>(at) >= folders_.size()) return;
  const std::string folder = folders_[static_cast<std::size_t>(at)].path;
  if (platform::CanEnter(folder)) SetDir1Path(folder);
}

void Form2::Dir1_KeyUp(int KeyCode) {
  if (KeyCode != kKeyCodeEnter) return;
  OpenHighlightedFolder();
  Dir1_Change();
}

void Form2::File1_DblClick() {
  const int at = static_cast<int>(::SendMessageW(controls_[File1], LB_GETCURSEL, 0, 0));
  const std::string name = at < 0 ? std::string() : ItemText(File1, at);
  if (name.empty()) return;
  strFileName_ = Widen(JoinPath(dir1_path_, name));
  ::DestroyWindow(form_);
}

void Form2::File1_KeyUp(int KeyCode) {
  if (KeyCode == kKeyCodeEnter) File1_DblClick();
}

void Form2::Command1_Click() { File1_DblClick(); }

void Form2::Command2_Click() {
  strFileName_.clear();
  ::DestroyWindow(form_);
}

void Form2::DrawFolder(const DRAWITEMSTRUCT& item) const {
  if (item.itemID == static_cast<UINT>(-1) || item.itemID >= folders_.size()) return;
  const Folder& f = folders_[item.itemID];
  const UINT dpi = ::GetDpiForWindow(item.hwndItem);
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  // A folder glyph: open for the way down to the current folder, closed for
  // the folders below it.
  const int unit = Pixels(15, dpi);
  const int left = item.rcItem.left + unit * (2 + 8 * f.depth);
  const int mid = (item.rcItem.top + item.rcItem.bottom) / 2;
  HBRUSH fill = ::CreateSolidBrush(f.open ? RGB(255, 236, 150) : RGB(240, 200, 90));
  HGDIOBJ old_brush = ::SelectObject(item.hDC, fill);
  HGDIOBJ old_pen = ::SelectObject(item.hDC, ::GetStockObject(BLACK_PEN));
  ::Rectangle(item.hDC, left, mid - 4 * unit, left + 5 * unit, mid - 2 * unit);
  ::Rectangle(item.hDC, left, mid - 3 * unit, left + 12 * unit, mid + 5 * unit);
  if (f.open) {
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
  const std::wstring name = Widen(NameOf(f.path));
  ::DrawTextW(item.hDC, name.c_str(), static_cast<int>(name.size()), &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (item.itemState & ODS_FOCUS) ::DrawFocusRect(item.hDC, &item.rcItem);
}

LRESULT CALLBACK Form2::KeysProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                 DWORD_PTR self) {
  auto* form = reinterpret_cast<Form2*>(self);
  // Enter belongs to the lists, not to the window's default button.
  if (msg == WM_GETDLGCODE && wp == VK_RETURN) return DLGC_WANTALLKEYS;
  if (msg == WM_KEYUP) {
    if (id == File1) {
      form->File1_KeyUp(static_cast<int>(wp));
      return 0;
    }
    if (id == Dir1) {
      form->Dir1_KeyUp(static_cast<int>(wp));
      return 0;
    }
  }
  return Libraries().DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Form2::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Form2*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->form_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Form2*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
  return self->Handle(msg, wp, lp);
}

LRESULT Form2::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (From(wp, Command1, BN_CLICKED))
        Command1_Click();
      else if (From(wp, Command2, BN_CLICKED))
        Command2_Click();
      else if (From(wp, Drive1, CBN_SELCHANGE))
        Drive1_Change();
      else if (From(wp, Dir1, LBN_DBLCLK))
        OpenHighlightedFolder();
      else if (From(wp, File1, LBN_DBLCLK))
        File1_DblClick();
      else if (LOWORD(wp) == IDCANCEL)
        ::DestroyWindow(form_);  // Esc: as the close command
      return 0;
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight =
          static_cast<UINT>(Pixels(kFolderRowTwips, ::GetDpiForWindow(form_)));
      return TRUE;
    case WM_DRAWITEM:
      DrawFolder(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
      return TRUE;
    case WM_DPICHANGED:
      FitForm(form_, kWidth, kHeight, HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      controls_.Lay(HIWORD(wp));
      LayLists(HIWORD(wp));
      return 0;
    case WM_CLOSE:
      ::DestroyWindow(form_);
      return 0;
    case WM_DESTROY:
      ::SetWindowLongPtrW(form_, GWLP_USERDATA, 0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(form_, msg, wp, lp);
}

}  // namespace tallyrun::ui::win32
