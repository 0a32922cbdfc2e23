// Form2, the log file chooser: browse mounted file systems, folders and the
// text and log files in them, and hand the chosen path back to the main window.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "platform/mounts.h"
#include "ui/decide/choices.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace tallyrun::ui {

class Form2 : public QDialog {
  Q_OBJECT

 public:
  // What the drive list offers; the real mount table unless a test says otherwise.
  using MountSource = std::function<std::vector<platform::Mount>()>;

  explicit Form2(QWidget* parent = nullptr, MountSource mounts = platform::MountedFileSystems);

  // Shows the chooser modally. `strFileName` is the main window's; it is
  // written only when a file is taken (its full path) or on going back (the
  // empty text).
  void Choose(QString& strFileName);

  // What the showing will leave in strFileName; nothing when it is closed
  // without a choice.
  const std::optional<QString>& Outcome() const { return outcome_; }
  // The folder list's current folder.
  const QString& Dir1Path() const { return dir1_path_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Form_Load();
  void Drive1_Change();
  void Dir1_Change();
  void Dir1_KeyUp(int KeyCode, Qt::KeyboardModifiers Shift);
  void File1_DblClick();
  void File1_KeyUp(int KeyCode, Qt::KeyboardModifiers Shift);
  void File1_OLEDragDrop(qsizetype items);
  void Command1_Click();
  void Command2_Click();

  // False, with nothing changed, when the folder cannot be entered and read.
  bool SetDir1Path(const QString& path);
  // Double-click and Enter: a folder that has vanished leaves us where we are.
  void OpenFolder(const QString& path);
  void ShowDir1(const QString& path, const QStringList& subfolders);
  void SetFile1Path(const QString& path);
  void EnterTopFolderAfterFailedReturn();
  void BuildControls();
  void BuildLists();
  void SetTabOrder();
  void ConnectHandlers();

  std::optional<QString> outcome_;
  MountSource mounts_;
  DriveRecovery drives_{""};
  QString dir1_path_;

  // Made by BuildControls, first thing. The left column: drives, folders
  // and the instruction.
  QLabel* Label1_;
  QComboBox* Drive1_;
  QLabel* Label2_;
  QTreeWidget* Dir1_;
  QLabel* Label4_;
  // The right column: the files and the two buttons under them.
  QLabel* Label3_;
  QListWidget* File1_;
  QWidget* Frame1_;
  QPushButton* Command1_;
  QPushButton* Command2_;
};

}  // namespace tallyrun::ui
