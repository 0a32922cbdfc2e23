// The window program: started by tallyrun without arguments, given the
// settings file and the resolved log file, and alive as long as its window.
#include <unistd.h>
#include <QApplication>
#include <QLineEdit>
#include <QList>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "core/build_facts.h"
#include "core/settings.h"
#include "platform/files.h"
#include "platform/system_env.h"
#include "ui/main/main_window.h"

namespace {

constexpr char kNoDisplay[] =
    "tallyrun: 画面に接続できないため、ウィンドウを開けません。"
    "ファイルやフォルダを記録するには、そのパスを引数に指定して起動してください。\n";

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Qt ends the process with an abort when no display can be reached; say so
// plainly and end with a status instead. Start-up notes are held back until
// it is clear whether they matter.
QList<std::pair<QtMsgType, QString>> held_notes;

void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) {
    (void)!::write(STDERR_FILENO, kNoDisplay, sizeof kNoDisplay - 1);
    ::_exit(1);
  }
  held_notes.append({type, text});
}

}  // namespace

int main(int argc, char** argv) {
  tallyrun::platform::KeepStandardStreamsTaken();
  tallyrun::platform::TakeFileSizeLimitAsError();
  if (argc != 3) {
    std::fputs("tallyrun-window: tallyrun から引数なしで起動してください。\n", stderr);
    return 2;
  }
  // Taken before Qt sees the arguments: a log named like one of Qt's own
  // options must not be swallowed.
  const std::string settings_file = argv[1];
  const std::string LogFilePath = argv[2];

  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
    std::fputs(kNoDisplay, stderr);
    return 1;
  }

  static int qt_argc = 1;
  static char* qt_argv[] = {argv[0], nullptr};
  const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
  QApplication app(qt_argc, qt_argv);
  // Lets docks and Wayland match the window to its launcher and icon.
  QGuiApplication::setDesktopFileName(QString::fromUtf8(tallyrun::kApplicationId));
  qInstallMessageHandler(previous);
  for (const auto& [type, text] : held_notes) previous(type, QMessageLogContext(), text);
  held_notes.clear();

  tallyrun::platform::SystemEnv env;
  tallyrun::ui::Form1 form(env, tallyrun::SettingsLocation{settings_file, {}}, LogFilePath);
  form.show();
  form.SetText1(QString::fromStdString(LogFilePath));
  form.GetListFromLogFile();
  return app.exec();
}
