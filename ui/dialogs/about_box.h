// The about box: the version line, what the program is for, and credits.
#pragma once

#include <QDialog>

namespace tallyrun::ui {

class Form3 : public QDialog {
  Q_OBJECT

 public:
  explicit Form3(QWidget* parent = nullptr);
};

}  // namespace tallyrun::ui
