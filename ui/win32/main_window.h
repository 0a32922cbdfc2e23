// The main window in Win32: the current log file, its records newest first,
// drops recorded, entries opened in Explorer. It draws and forwards events;
// what they lead to is decided in ui/decide.
#pragma once

#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <string>

#include "core/env.h"
#include "core/log_reader.h"
#include "core/settings.h"
#include "ui/win32/look.h"

namespace tallyrun::ui::win32 {

class Form1 {
 public:
  enum Control {
    Label1,
    Text1,
    Frame1,
    Command1,
    List1,
    Label3,
    Frame2,
    Command2,
    Command3,
    Label2
  };

  Form1(Env& env, SettingsLocation settings, std::string LogFilePath);
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;
  ~Form1();

  // Creates and shows the window with `LogFilePath` in Text1 and its list
  // loaded; false when the window could not be made.
  bool Show();
  HWND hwnd() const { return form_; }
  HWND control(Control c) const { return controls_[c]; }
  // Whether closing the window ends the program's main loop.
  void EndProgramOnClose(bool end) { ends_program_ = end; }

  // Set by the log file chooser; kept from one showing to the next.
  std::wstring strFileName;
  void GetListFromLogFile();
  const LogEntries& entries() const { return entries_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK List1Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                    DWORD_PTR self);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void BuildControls();
  void SetUpList1();
  void List1_Notify(LPARAM lp);

  void Form_Load();
  void Form_Unload();
  void List1_OLEDragDrop(HDROP Data);
  void List1_DblClick();
  void List1_KeyPress(int KeyAscii);
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();

  std::string ShownLogFile() const;
  void ShowEntryCount(int keep_selected);

  Env& env_;
  SettingsLocation settings_;
  std::string log_file_path_;
  HWND form_ = nullptr;
  Controls controls_;
  LogEntries entries_;
  std::wstring shown_entry_;
  bool ends_program_ = true;
};

}  // namespace tallyrun::ui::win32
