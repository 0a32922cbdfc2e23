// Form1, the main window: which log file is current, its records newest
// first as they arrive, recording the files and folders dropped onto the
// list, opening an entry, switching the log file and saving that on close.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/env.h"
#include "core/settings.h"
#include "ui/common/form.h"
#include "ui/dialogs/find_box.h"
#include "ui/main/finding.h"
#include "ui/main/log_follower.h"
#include "ui/main/log_list.h"

namespace tallyrun::ui {

class Form1 : public Form {
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
  enum MenuItem { mnuOpen, mnuCopyPath, mnuFind, mnuFindNext, mnuFindPrevious };

  // `LogFilePath` is what start-up resolved; the setting is saved on close
  // only when the shown log file differs from it.
  Form1(Env& env, SettingsLocation settings, std::string LogFilePath);

  // Written by the log file chooser: the chosen file, or empty on going
  // back; kept from one showing to the next.
  std::string strFileName;

  // Start-up's part once the window shows: LogFilePath in Text1, the list
  // read, and the user told when the settings file was there but could not
  // be read (the default log is shown instead).
  void StartUp(const Status& settings_read);
  void SetText1(const std::string& text);
  // Reloads the list from the log file named in Text1, and follows it.
  void GetListFromLogFile();

  const FormTable& Table() const override;
  void Form_Load(FormView& view) override;
  void Form_Unload() override;
  void Click(int control) override;
  void DblClick(int control) override;
  void KeyPress(int control, int KeyAscii) override;
  void OLEDragDrop(int control, std::vector<DroppedItem>& Data) override;
  void Timer() override;
  void ContextMenu(int control) override;
  void MenuClick(int item) override;
  std::size_t ListCount(int control) const override;
  Row ListRow(int control, std::size_t row) const override;

 private:
  void List1_OLEDragDrop(std::vector<DroppedItem>& Data);
  void List1_DblClick();
  void List1_KeyPress(int KeyAscii);
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void CopyPath();
  // The search's text in the next entry that holds it, going down or up.
  void FindNext(bool down);

  // Text1 as a file name: the text start-up or the chooser put there keeps
  // its exact bytes, which the toolkit may not be able to show.
  std::string ShownLogFile() const;
  void ShowText1(const std::string& path);
  // Reads `log_file` afresh into the list and follows it from there.
  void Load(const std::string& log_file);
  // What others appended since the last look goes on top; true when more is
  // waiting to be read at once.
  bool CatchUp();

  Env& env_;
  const SettingsLocation settings_;
  const std::string log_file_path_;
  FormView* view_ = nullptr;
  LogList list_;
  LogFollower follower_;
  // What the find box last asked for, and the box itself.
  Search search_;
  Form4 find_;
  // What was put into Text1 and what the toolkit made of it.
  std::string text1_put_, text1_shown_;
};

}  // namespace tallyrun::ui
