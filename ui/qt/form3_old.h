// Form3, the about box: the version line, what the program is for, and
// credits.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tallyrun::ui {

class Form3 : public QDialog {
  Q_OBJECT

 public:
  explicit Form3(QWidget* parent = nullptr);

  // The description as the program holds it, carriage returns and all; the
  // label shows each as a line break.
  const QString& Label4Caption() const { return label4_caption_; }

 private:
  void BuildControls();
  void Form_Load();
  void Command1_Click();
  void SetLabel4Caption(const QString& caption);

  QString label4_caption_;

  QLabel* Label1_ = nullptr;
  QPushButton* Command1_ = nullptr;
  QLabel* Label4_ = nullptr;
  QPlainTextEdit* Text1_ = nullptr;
};

}  // namespace tallyrun::ui
