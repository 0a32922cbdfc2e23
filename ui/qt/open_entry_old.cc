#include "ui/main/open_entry.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>
#include <optional>
#include <string>

#include "core/paths.h"
#include "platform/files.h"
#include "platform/process_start.h"
#include "ui/common/message_box.h"
#include "ui/decide/choices.h"
#include "ui/decide/texts.h"

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
  const std::optional<EntryTarget> target = TargetOf(entry);
  if (!target || !platform::Exists(target->path)) {
    ShowMessage(parent, text::kNotFound, text::kNotFoundTitle);
    return;
  }
  const std::string full = FullPath(target->path, platform::CurrentDirectory());
  if (AskFileManager(target->folder ? QStringLiteral("ShowFolders") : QStringLiteral("ShowItems"),
                     full)) {
    return;
  }
  (void)platform::StartDetached({"xdg-open", target->folder ? full : FolderOf(full)});
}

}  // namespace tallyrun::ui
