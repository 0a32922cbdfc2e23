// Opens a log in the main window until its list is shown, and does nothing
// else, so that the reading benchmark can time and weigh the window as a
// process of its own. Usage: open_log_only LOG [OUT]; with OUT, the list's
// rows are also written there, one a line, newest first, to be checked
// against another reader's.
#include <QApplication>
#include <cstdio>

#include "platform/system_env.h"
#include "ui/main/main_window.h"
#include "ui/qt/form_window.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) return 2;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  QApplication app(qt_argc, argv);
  tallyrun::platform::SystemEnv env;
  const std::string log = argv[1];
  tallyrun::ui::Form1 form(env, {log + ".ini", log}, log);
  tallyrun::ui::qt::FormWindow window(form);
  window.show();
  form.StartUp(tallyrun::Status::Ok());
  // Shown: what the opening left to paint is painted.
  QCoreApplication::processEvents();
  const std::size_t rows = form.ListCount(tallyrun::ui::Form1::List1);
  if (argc == 3) {
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 1;
    for (std::size_t i = 0; i < rows; ++i) {
      const std::string row = form.ListRow(tallyrun::ui::Form1::List1, i).text;
      std::fwrite(row.data(), 1, row.size(), out);
      std::fputc('\n', out);
    }
    if (std::fclose(out) != 0) return 1;
  }
  return 0;
}
