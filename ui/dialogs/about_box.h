// The about box: the version line, what the program is for, and credits.
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

  // The texts as the program holds them, carriage returns and all; the
  // controls show each line break as one.
  const QString& Label4Caption() const { return label4Caption_; }
  const QString& Text1Text() const { return text1Text_; }

 private:
  void Form_Load();
  void Command1_Click();
  void SetLabel4Caption(const QString& caption);

  QString label4Caption_;
  QString text1Text_;

  QLabel* Label1_;
  QPushButton* Command1_;
  QLabel* Label4_;
  QPlainTextEdit* Text1_;
};

}  // namespace tallyrun::ui
