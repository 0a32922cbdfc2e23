#include "ui/common/message_box.h"

#include <QMessageBox>

namespace tallyrun::ui {

void ShowMessage(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.exec();
}

}  // namespace tallyrun::ui
