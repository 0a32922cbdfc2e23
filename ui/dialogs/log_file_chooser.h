// Form2, the log file chooser: browse the drives (mounted file systems where
// there are no drive letters), folders, and the text and log files in them,
// and hand the chosen path back to the main window's strFileName.
#pragma once

#include <string>
#include <vector>

#include "core/env.h"
#include "ui/common/form.h"

namespace tallyrun::ui {

class Form2 : public Form {
 public:
  enum Control { Label1, Label2, Label3, File1, Frame1, Command1, Command2, Drive1, Dir1, Label4 };

  // `strFileName` is the main window's: written only when a file is taken
  // (its full path) or on going back (the empty text).
  Form2(Env& env, std::string& strFileName) : env_(env), strFileName_(strFileName) {}

  // The folder list's current folder.
  const std::string& Dir1Path() const { return dir1_path_; }

  const FormTable& Table() const override;
  void Form_Load(FormView& view) override;
  void Click(int control) override;
  void DblClick(int control) override;
  void KeyUp(int control, int KeyCode, int Shift) override;
  void Change(int control) override;
  void OLEDragDrop(int control, std::vector<DroppedItem>& Data) override;
  std::size_t ListCount(int control) const override;
  Row ListRow(int control, std::size_t row) const override;

 private:
  void Drive1_Change();
  void Dir1_Change();
  void Dir1_KeyUp(int KeyCode, int Shift);
  void File1_DblClick();
  void File1_KeyUp(int KeyCode, int Shift);
  void File1_OLEDragDrop(const std::vector<DroppedItem>& Data);
  void Command1_Click();
  void Command2_Click();

  // False, with nothing changed, when the folder cannot be entered and read.
  bool SetDir1Path(const std::string& folder);
  void ShowFolders(const std::string& folder, std::vector<std::string> subfolders);
  void ShowFiles(std::vector<std::string> names);
  // Double-click and Enter: a folder that has vanished leaves us where we
  // are, with both lists read afresh. A copy: the folder usually comes from
  // the list that opening it rebuilds.
  void OpenFolder(std::string folder);

  struct Folder {
    std::string path;
    int depth;
    bool open;  // the current folder or one above it
  };

  Env& env_;
  std::string& strFileName_;
  FormView* view_ = nullptr;
  std::vector<Drive> drives_;
  std::string PreviousDrive_;
  // Going back to PreviousDrive_ after a drive could not be entered.
  bool returning_ = false;
  std::string dir1_path_;
  std::vector<Folder> folders_;
  std::vector<std::string> files_;
};

}  // namespace tallyrun::ui
