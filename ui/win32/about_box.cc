#include "ui/win32/about_box.h"

#include <commctrl.h>

#include <string>

#include "core/build_facts.h"
#include "ui/decide/texts.h"

namespace tallyrun::ui::win32 {
namespace {

constexpr wchar_t kClass[] = L"TallyrunForm3";
constexpr int kWidth = 4575, kHeight = 4050;

std::wstring Label4Caption(HWND label) {
  std::wstring caption(static_cast<std::size_t>(::GetWindowTextLengthW(label)) + 1, L'\0');
  caption.resize(static_cast<std::size_t>(
      ::GetWindowTextW(label, caption.data(), static_cast<int>(caption.size()))));
  return caption;
}

// The description's lines are parted by a lone CR, which a static control
// would not break at: it is drawn with each CR as a line break.
void DrawDescription(const DRAWITEMSTRUCT& item) {
  std::wstring shown;
  for (const wchar_t c : Label4Caption(item.hwndItem)) {
    shown.push_back(c);
    if (c == L'\r') shown.push_back(L'\n');
  }
  RECT r = item.rcItem;
  ::FillRect(item.hDC, &r, ::GetSysColorBrush(COLOR_BTNFACE));
  ::SetBkMode(item.hDC, TRANSPARENT);
  ::SetTextColor(item.hDC, ::GetSysColor(COLOR_BTNTEXT));
  HGDIOBJ old = ::SelectObject(
      item.hDC, reinterpret_cast<HGDIOBJ>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
  ::DrawTextW(item.hDC, shown.c_str(), static_cast<int>(shown.size()), &r,
              DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  ::SelectObject(item.hDC, old);
}

// As in the Linux box, the credits get a scroll bar only when the lines that
// hold text do not all fit; the text's last line end opens no line of its own.
void ShowCreditsScrollBarIfNeeded(HWND edit) {
  const auto send = [edit](UINT msg, WPARAM wp = 0, LPARAM lp = 0) {
    return ::SendMessageW(edit, msg, wp, lp);
  };
  const auto top_of_line = [&send](LRESULT line) {
    return static_cast<short>(
        HIWORD(send(EM_POSFROMCHAR, static_cast<WPARAM>(send(EM_LINEINDEX, line)))));
  };
  const auto show_bar = [edit](bool shown) {
    const LONG_PTR style = ::GetWindowLongPtrW(edit, GWL_STYLE);
    if (((style & WS_VSCROLL) != 0) == shown) return;
    ::SetWindowLongPtrW(edit, GWL_STYLE, shown ? style | WS_VSCROLL : style & ~WS_VSCROLL);
    ::SetWindowPos(edit, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  };
  // Measured with the bar in place: without it the lines are only longer.
  show_bar(true);
  LRESULT lines = send(EM_GETLINECOUNT);
  if (lines > 1 && send(EM_LINELENGTH, static_cast<WPARAM>(send(EM_LINEINDEX, lines - 1))) == 0) {
    --lines;
  }
  if (lines <= 1) return show_bar(false);
  RECT shown{};
  send(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
  const int line_height = top_of_line(1) - top_of_line(0);
  show_bar(top_of_line(lines - 1) - top_of_line(0) + line_height > shown.bottom - shown.top);
}

}  // namespace

Form3::~Form3() {
  if (::IsWindow(form_)) ::DestroyWindow(form_);
}

HWND Form3::Load(HWND owner) {
  static const bool registered = RegisterFormClass(kClass, Proc);
  if (!registered) return nullptr;
  form_ = CreateForm(kClass, text::kForm3Title, kWidth, kHeight, owner, this);
  if (form_ == nullptr) return nullptr;
  const std::string version = std::string(text::kProgramFileName) + kVersionLine;
  controls_.Create(
      form_, {
                 {L"Frame1", EtchedFrameClass(), "", 0, WS_EX_CONTROLPARENT, 240, 420, 4095, 1995},
                 {L"Label1", WC_STATICW, version, SS_LEFT | SS_NOPREFIX, 0, 120, 120, 4335, 255},
                 {L"Command1", WC_BUTTONW, text::kForm3Command1, WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
                  300, 1560, 3495, 315, Frame1, Face::kPGothic},
                 {L"Label4", WC_STATICW, "", SS_OWNERDRAW, 0, 180, 240, 3735, 1215, Frame1},
                 {L"Frame2", EtchedFrameClass(), "", 0, WS_EX_CONTROLPARENT, 120, 2460, 4335, 1515},
                 {L"Text1", WC_EDITW, text::kCredits,
                  WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL,
                  WS_EX_CLIENTEDGE, 120, 180, 4095, 1215, Frame2, Face::kPGothic},
             });
  Form_Load();
  ShowCreditsScrollBarIfNeeded(controls_[Text1]);
  ::SetFocus(controls_[Command1]);
  return form_;
}

void Form3::Show(HWND owner) {
  if (Load(owner) != nullptr) RunModal(form_, owner);
}

void Form3::Form_Load() {
  HWND label = controls_[Label4];
  const std::wstring first = Widen(text::kDescriptionFirst) + L"\r\r";
  ::SetWindowTextW(label, first.c_str());
  const std::wstring second = Label4Caption(label) + Widen(text::kDescriptionSecond) + L"\r";
  ::SetWindowTextW(label, second.c_str());
  const std::wstring third = Label4Caption(label) + Widen(text::kDescriptionThird);
  ::SetWindowTextW(label, third.c_str());
}

LRESULT CALLBACK Form3::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    ::SetWindowLongPtrW(
        hwnd, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
  }
  auto* self = reinterpret_cast<Form3*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_COMMAND:
      // "戻る", and Esc or Enter through the dialog keys.
      if ((LOWORD(wp) == kFirstControlId + Command1 && HIWORD(wp) == BN_CLICKED) ||
          LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) {
        ::DestroyWindow(hwnd);
      }
      return 0;
    case WM_DRAWITEM:
      if (self != nullptr &&
          reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem == self->controls_[Label4]) {
        DrawDescription(*reinterpret_cast<DRAWITEMSTRUCT*>(lp));
        return TRUE;
      }
      break;
    case WM_DPICHANGED:
      if (self != nullptr) {
        FitForm(hwnd, kWidth, kHeight, HIWORD(wp), reinterpret_cast<const RECT*>(lp));
        self->controls_.Lay(HIWORD(wp));
        ShowCreditsScrollBarIfNeeded(self->controls_[Text1]);
      }
      return 0;
    case WM_CLOSE:
      ::DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace tallyrun::ui::win32
