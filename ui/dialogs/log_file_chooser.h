// The log-file chooser: browse mounted file systems, folders and the text
// and log files in them, and hand the chosen path back to the main window.
#pragma once

#include <QDialog>
#include <QString>

namespace tallyrun::ui {

class Form2 : public QDialog {
  Q_OBJECT

 public:
  // `strFileName` is the main window's; it is written only when a file is
  // taken (its full path) or on going back (the empty text).
  Form2(QString& strFileName, QWidget* parent = nullptr);

 private:
  QString& strFileName_;
};

}  // namespace tallyrun::ui
