#include "ui/main/open_entry.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>
#include <string>

#include "core/log_record.h"
#include "platform/files.h"
#include "platform/process_start.h"
#include "ui/common/message_box.h"

namespace tallyrun::ui {
namespace {

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");

std::string Absolute(std::string path) {
  if (!path.empty() && path.front() == kPathSeparator) return path;
  std::string full = platform::CurrentDirectory();
  if (full.empty() || full.back() != kPathSeparator) full.push_back(kPathSeparator);
  return full + path;
}

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

std::string FolderOf(const std::string& file) {
  const std::size_t slash = file.find_last_of(kPathSeparator);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string(1, kPathSeparator) : file.substr(0, slash);
}

}  // namespace

void OpenEntry(QWidget* parent, std::string_view entry) {
  if (entry.empty()) return;
  const std::size_t bar = entry.find('|');
  const std::string path(bar == std::string_view::npos ? entry : entry.substr(bar + 1));

  // The system would cut the name at a NUL and find whatever the part
  // before it names.
  if (path.find('\0') != std::string::npos || !platform::Exists(path)) {
    ShowMessage(parent, QStringLiteral("ファイル／フォルダが存在しないようです。"),
                QStringLiteral("ウィンドウオープン中断"));
    return;
  }

  const bool folder = path.back() == kPathSeparator;
  const std::string full = Absolute(path);
  if (AskFileManager(folder ? QStringLiteral("ShowFolders") : QStringLiteral("ShowItems"), full)) {
    return;
  }
  (void)platform::StartDetached({"xdg-open", folder ? full : FolderOf(full)});
}

}  // namespace tallyrun::ui
