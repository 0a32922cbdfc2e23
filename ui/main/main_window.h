// The main window: which log file is current, its records newest first, and
// recording of the files and folders dropped onto the list.
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

namespace tallyrun::ui {

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

  // Reloads the list from the log file named in Text1.
  void GetListFromLogFile();

  // Records what a drop carries, as if it had landed on the list.
  void List1_OLEDragDrop(const QMimeData& Data);

  QLabel* const Label1;
  QLineEdit* const Text1;
  QFrame* const Frame1;
  QPushButton* const Command1;
  QListView* const List1;
  QLabel* const Label3;
  QFrame* const Frame2;
  QPushButton* const Command2;
  QPushButton* const Command3;
  QLabel* const Label2;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Form_Load();
  void Form_Unload();
  void List1_Paste();
  void List1_DblClick();
  void List1_KeyPress(int KeyAscii);
  void Command1_Click();
  void Command2_Click();
  void Command3_Click();

  // Text1 as a file name; the start-up path keeps its exact bytes.
  std::string ShownLogFile() const;
  bool TakesDropAt(const QPoint& pos) const;

  Env& env_;
  const SettingsLocation settings_;
  const std::string LogFilePath_;
  LogListModel* const model_;
};

}  // namespace tallyrun::ui
