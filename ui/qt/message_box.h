// The program's one kind of message: modal, an OK button only, no icon.
#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace tallyrun::ui::qt {

void ShowMessage(QWidget* parent, const QString& text, const QString& title);

// Lets a test stand in for the user: while set, each message box is handed
// to `answer` as it would have been shown, and is not shown. Empty to stop.
void AnswerMessagesWith(std::function<void(QMessageBox& box)> answer);

}  // namespace tallyrun::ui::qt
