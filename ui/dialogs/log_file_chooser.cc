#include "ui/dialogs/log_file_chooser.h"

namespace tallyrun::ui {

Form2::Form2(QString& strFileName, QWidget* parent) : QDialog(parent), strFileName_(strFileName) {
  setWindowTitle(QStringLiteral("トレースログファイル選択"));
}

}  // namespace tallyrun::ui
