// Form1, the main window: which log file is current, its records newest
// first as they arrive, and recording of the files and folders dropped onto
// the list.
#pragma once

#include <QString>
#include <QWidget>
#include <string>

#include "core/env.h"
#include "core/settings.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QMimeData;
class QPushButton;

namespace tallyrun {
class LogEntries;
}

namespace tallyrun::ui {

class LogFollower;
class LogListModel;

class Form1 : public QWidget {
  Q_OBJECT

 public:
  // `LogFilePath` is what start-up resolved; the setting is saved on close
  // only when the shown log file differs from it.
  Form1(Env& env, SettingsLocation settings, std::string LogFilePath, QWidget* parent = nullptr);
  ~Form1() override;

  // Written by the log file chooser: the chosen file, or empty on going back.
  QString strFileName;

  // Start-up puts the log file here before the first GetListFromLogFile.
  void SetText1(const QString& text);
  // Reloads the list from the log file named in Text1, and follows it.
  void GetListFromLogFile();
  // Records what a drop carries, as if it had landed on the list.
  void List1_OLEDragDrop(const QMimeData& Data);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void BuildList();
  void SetTabOrder();
  void ConnectHandlers();

  void Form_Load();
  void Form_Unload();
  void List1_Paste();
  void List1_DblClick();
  void List1_KeyPress(int KeyAscii);
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();

  // Entries that arrived in the log go on top; the chosen entry stays chosen
  // and, below the top, the same entries stay in view.
  void ShowArrived(const LogEntries& arrived);
  // Text1 as a file name; the start-up path keeps its exact bytes.
  std::string ShownLogFile() const;
  bool TakesDropAt(const QPoint& pos) const;

  Env& env_;
  const SettingsLocation settings_;
  const std::string log_file_path_;
  LogListModel* const model_;
  LogFollower* const follower_;

  // The log file, and the chooser's button beside it.
  QLabel* Label1_ = nullptr;
  QLineEdit* Text1_ = nullptr;
  QFrame* Frame1_ = nullptr;
  QPushButton* Command1_ = nullptr;
  // The list and its heading.
  QListView* List1_ = nullptr;
  QLabel* Label3_ = nullptr;
  // Under the list: the hint, the about box's button and the one that closes.
  QLabel* Label2_ = nullptr;
  QFrame* Frame2_ = nullptr;
  QPushButton* Command2_ = nullptr;
  QPushButton* Command3_ = nullptr;
};

}  // namespace tallyrun::ui
