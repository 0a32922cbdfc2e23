#include "ui/main/open_entry.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>
#include <string>

#include "core/log_reader.h"
#include "core/paths.h"
#include "core/utf8.h"
#include "platform/files.h"
#include "platform/process_start.h"
#include "ui/common/message_box.h"

namespace tallyrun::ui {
namespace {

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");

QString FileUri(const std::string& path) {
  const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
  return QStringLiteral("file://") + QString::fromLatin1(bytes.toPercentEncoding("/"));
}

// Running now, or started by the bus on the first call.
bool FileManagerAvailable(const QDBusConnection& bus) {
  const QDBusConnectionInterface* names = bus.interface();
  if (names == nullptr) return false;
  const QDBusReply<bool> running = names->isServiceRegistered(kFileManagerService);
  if (running.isValid() && running.value()) return true;
  const QDBusReply<QStringList> startable = names->activatableServiceNames();
  return startable.isValid() && startable.value().contains(kFileManagerService);
}

bool AskFileManager(const QString& method, const std::string& path) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !FileManagerAvailable(bus)) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(
      kFileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), method);
  call << QStringList{FileUri(path)} << QString();
  return bus.send(call);  // no answer is awaited
}

}  // namespace

void OpenEntry(QWidget* parent, std::string_view entry) {
  if (entry.empty()) return;
  const std::string path = StraysRestored(EntryPath(entry));

  // The system would cut the name at a NUL and find whatever the part
  // before it names.
  if (path.find('\0') != std::string::npos || !platform::Exists(path)) {
    ShowMessage(parent, QStringLiteral("ファイル／フォルダが存在しないようです。"),
                QStringLiteral("ウィンドウオープン中断"));
    return;
  }

  const bool folder = path.back() == kPathSeparator;
  const std::string full = FullPath(path, platform::CurrentDirectory());
  if (AskFileManager(folder ? QStringLiteral("ShowFolders") : QStringLiteral("ShowItems"), full)) {
    return;
  }
  (void)platform::StartDetached({"xdg-open", folder ? full : FolderOf(full)});
}

}  // namespace tallyrun::ui
