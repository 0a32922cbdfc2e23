#include "ui/common/message_box.h"

#include <QMessageBox>

#include "ui/common/look.h"

namespace tallyrun::ui {

void ShowMessage(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::NoIcon, title, ShownLines(text), QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  // Paths in prompts are text, never markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace tallyrun::ui
