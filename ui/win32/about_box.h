// The about box in Win32: the version line, the description and the credits,
// closed by its one button.
#pragma once

#include <windows.h>

#include "ui/win32/look.h"

namespace tallyrun::ui::win32 {

class Form3 {
 public:
  enum Control { Frame1, Label1, Command1, Label4, Frame2, Text1 };

  Form3() = default;
  Form3(const Form3&) = delete;
  Form3& operator=(const Form3&) = delete;
  ~Form3();

  // Creates the box over `owner` without waiting; Show() also waits until it
  // has closed.
  HWND Load(HWND owner);
  void Show(HWND owner);
  HWND hwnd() const { return form_; }
  HWND control(Control c) const { return controls_[c]; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Form_Load();
  HWND form_ = nullptr;
  Controls controls_;
};

}  // namespace tallyrun::ui::win32
