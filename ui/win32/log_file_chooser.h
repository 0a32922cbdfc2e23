// The log file chooser in Win32: a drive list, a folder list and a file list
// of text and log files. Its one result goes to the main window's
// strFileName: the file taken, the empty text after "戻る", or untouched.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/decide/choices.h"
#include "ui/win32/look.h"

namespace tallyrun::ui::win32 {

class Form2 {
 public:
  enum Control { Label1, Label2, Label3, File1, Frame1, Command1, Command2, Drive1, Dir1, Label4 };

  explicit Form2(std::wstring& strFileName) : strFileName_(strFileName) {}
  Form2(const Form2&) = delete;
  Form2& operator=(const Form2&) = delete;
  ~Form2();

  // Creates the chooser over `owner` without waiting; Show() also waits
  // until it has closed.
  HWND Load(HWND owner);
  void Show(HWND owner);
  HWND hwnd() const { return form_; }
  HWND control(Control c) const { return controls_[c]; }
  // The folder list's current folder.
  const std::string& Dir1Path() const { return dir1_path_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK KeysProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                   DWORD_PTR self);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

  void Form_Load();
  void Drive1_Change();
  void Dir1_Change();
  void Dir1_KeyUp(int KeyCode);
  void File1_DblClick();
  void File1_KeyUp(int KeyCode);
  void Command1_Click();
  void Command2_Click();

  void SetDir1Path(const std::string& folder);
  void OpenHighlightedFolder();
  void LayLists(UINT dpi);
  void DrawFolder(const DRAWITEMSTRUCT& item) const;
  std::string ItemText(Control list, int index) const;

  struct Folder {
    std::string path;
    int depth;
    bool open;  // the current folder or one of its ancestors
  };

  std::wstring& strFileName_;
  HWND form_ = nullptr;
  Controls controls_;
  std::unique_ptr<DriveRecovery> drives_;
  std::string dir1_path_;
  std::vector<Folder> folders_;
};

}  // namespace tallyrun::ui::win32
