// The log-file chooser: browse mounted file systems, folders and the text
// and log files in them, and hand the chosen path back to the main window.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

#include "platform/mounts.h"

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

  // `strFileName` is the main window's; it is written only when a file is
  // taken (its full path) or on going back (the empty text).
  Form2(QString& strFileName, QWidget* parent = nullptr,
        MountSource mounts = platform::MountedFileSystems);

  // The folder list's current folder.
  const QString& Dir1Path() const { return dir1Path_; }

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
  void SelectDriveQuietly(const QString& entry);
  void EnterTopFolderAfterFailedReturn();

  QString& strFileName_;
  MountSource mounts_;
  QString PreviousDrive_;
  QString dir1Path_;
  bool returningToPreviousDrive_ = false;
  bool driveEntered_ = false;

  QLabel* Label1_;
  QLabel* Label2_;
  QLabel* Label3_;
  QListWidget* File1_;
  QWidget* Frame1_;
  QPushButton* Command1_;
  QPushButton* Command2_;
  QComboBox* Drive1_;
  QTreeWidget* Dir1_;
  QLabel* Label4_;
};

}  // namespace tallyrun::ui
