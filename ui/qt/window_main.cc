// The window program: started by tallyrun without arguments, given the
// settings file and the resolved log file, and alive as long as its window.
#include <QApplication>
#include <QList>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "core/build_facts.h"
#include "core/settings.h"
#include "platform/files.h"
#include "platform/program_start.h"
#include "platform/system_env.h"
#include "ui/main/main_window.h"
#include "ui/qt/form_window.h"

namespace {

constexpr char kNoDisplay[] =
    "tallyrun: 画面に接続できないため、ウィンドウを開けません。"
    "ファイルやフォルダを記録するには、そのパスを引数に指定して起動してください。\n";

// Qt ends the process with an abort when no display can be reached; say so
// plainly and end with a status instead. Start-up notes are held back until
// it is clear whether they matter.
QList<std::pair<QtMsgType, QString>> held_notes;

void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) {
    std::fputs(kNoDisplay, stderr);
    std::fflush(stderr);
    std::_Exit(1);
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

  // Qt's own platform choice (offscreen, for one) needs no session.
  if (!tallyrun::platform::DesktopSession() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
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
  const tallyrun::SettingsLocation location{settings_file, {}};
  tallyrun::ui::Form1 form(env, location, LogFilePath);
  tallyrun::ui::qt::FormWindow window(form);
  window.show();
  form.StartUp(tallyrun::ResolveLogFilePath(env, location).settings_read);
  return app.exec();
}
