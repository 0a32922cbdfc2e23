#include "ui/dialogs/about_box.h"

namespace tallyrun::ui {

Form3::Form3(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("バージョン情報"));
}

}  // namespace tallyrun::ui
