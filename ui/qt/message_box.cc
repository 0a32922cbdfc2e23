#include "ui/qt/message_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <utility>

#include "ui/qt/look.h"

namespace tallyrun::ui::qt {
namespace {

std::function<void(QMessageBox&)>& Answerer() {
  static std::function<void(QMessageBox&)> answer;
  return answer;
}

}  // namespace

void ShowMessage(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::NoIcon, title, ShownLines(text), QMessageBox::NoButton, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  // Paths in prompts are text, never markup.
  box.setTextFormat(Qt::PlainText);
  // Not the standard OK button: some styles put a check mark on that one.
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  if (Answerer()) {
    Answerer()(box);
    return;
  }
  box.exec();
}

void AnswerMessagesWith(std::function<void(QMessageBox& box)> answer) {
  Answerer() = std::move(answer);
}

}  // namespace tallyrun::ui::qt
