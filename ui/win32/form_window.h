// Any form as a native Win32 window: its controls made from the form's
// table, laid out in twips by the window's DPI, and what the user does with
// them handed to the form as its events. The window draws; the form decides.
#pragma once

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <shellapi.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/common/form.h"

namespace tallyrun::ui::win32 {

class FormWindow final : public FormView {
 public:
  // Makes the window, hidden, with every control of the form's table, and
  // loads the form. A dialog names the window it is shown over.
  explicit FormWindow(Form& form, FormWindow* owner = nullptr);
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  // False when there is no display or no common controls to make it with.
  bool made() const { return hwnd_ != nullptr; }
  HWND hwnd() const { return hwnd_; }
  HWND control(int row) const { return controls_[static_cast<std::size_t>(row)]; }

  void Show();
  // Handles this thread's messages until the window has closed.
  void RunUntilClosed();
  // What the message loop does before it dispatches a message: the keys of
  // a form's menu, then Tab, the arrows, Enter and Esc. True when the
  // message has been handled.
  static bool Translate(MSG& msg);

  void SetText(int control, std::string_view text) override;
  std::string Text(int control) const override;
  void Enable(int control, bool enabled) override;
  void ListChanged(int control, std::size_t added_on_top = 0) override;
  std::optional<std::size_t> Selected(int control) const override;
  void Select(int control, std::optional<std::size_t> row) override;
  void ShowMessage(std::string_view text, std::string_view title) override;
  void ShowModal(Form& dialog) override;
  void SetBusy(bool busy) override;
  void SetTimer(int milliseconds) override;
  void Close() override;
  void SetChecked(int control, bool checked) override;
  bool Checked(int control) const override;
  void ShowModeless(Form& dialog) override;
  void PopupMenu(const std::vector<MenuEntry>& entries) override;
  bool CopyText(std::string_view text) override;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR row,
                                   DWORD_PTR self);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

  void MakeControls();
  void Lay(UINT dpi);
  const Control& ControlAt(int control) const;
  Kind KindOf(int control) const { return ControlAt(control).kind; }

  // Each event reaches the form through here: one at a time, so that a
  // timer due while a handler waits on a message box or dialog waits too.
  template <typename Event>
  void Raise(Event event);
  void OnCommand(int control, int code);
  void OnNotify(const NMHDR& note);
  void OnDrop(HDROP drop);
  void OnTimer();
  void OnClose();
  void OnContextMenu(HWND list, int control, LPARAM at);
  void AddRowTips(HWND list, int control);
  static int RowAtCursor(HWND list);
  void FollowTip(HWND list);
  void TipText(HWND list, int control, NMTTDISPINFOW& tip);
  // A key of the form's menu pressed in this window: true once it has
  // reached the form.
  bool TakeMenuKey(const MSG& msg);
  void DrawFolder(const DRAWITEMSTRUCT& item);

  void ShowLogRows(HWND list, int control, std::size_t added_on_top);
  void ShowListRows(HWND list, int control);

  Form& form_;
  const FormTable& table_;
  FormWindow* const owner_;
  HWND hwnd_ = nullptr;
  std::vector<HWND> controls_;
  // Captions as shown, kept here: a label shows a carriage return as a line
  // break, which the control holds as CR LF.
  std::vector<std::string> captions_;
  std::vector<HFONT> fonts_;
  std::wstring shown_row_;  // the text a list view was handed last
  HWND tip_ = nullptr;      // the whole text of a row shown cut short
  int tip_row_ = -1;
  std::wstring tip_text_;
  // The windows shown beside this one, kept once closed until shown again.
  std::vector<std::unique_ptr<FormWindow>> beside_;
  // Where the user asked for a menu, on the screen.
  std::optional<POINT> menu_at_;
  HWND focus_ = nullptr;  // kept while another window is active
  HCURSOR before_busy_ = nullptr;
  int in_form_ = 0;
  bool timer_due_ = false;
  bool closing_ = false;
  bool modal_ = false;         // shown by ShowModal: its owner waits for it
  bool modal_open_ = false;    // a dialog of this window is open
  bool setting_text_ = false;  // the program's own text, no edit of the user's
};

}  // namespace tallyrun::ui::win32
