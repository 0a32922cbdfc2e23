// The program's one kind of message: modal, an OK button only, no icon.
#pragma once

#include <QString>

class QWidget;

namespace tallyrun::ui {

void ShowMessage(QWidget* parent, const QString& text, const QString& title);

}  // namespace tallyrun::ui
