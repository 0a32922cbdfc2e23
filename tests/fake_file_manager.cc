// A stand-in for the desktop's file manager on a test's own session bus: it
// appends each request it gets, "method TAB uris TAB startup id", to the file
// named on its command line, after a first line "ready" once it can be asked.
#include <QtDBus>

class FileManager : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

 public:
  explicit FileManager(QString record) : record_(std::move(record)) {}

  void Note(const QString& method, const QStringList& uris, const QString& startup_id) {
    QFile file(record_);
    if (file.open(QIODevice::Append))
      file.write((method + '\t' + uris.join(' ') + '\t' + startup_id + '\n').toUtf8());
  }

 public slots:
  void ShowFolders(const QStringList& uris, const QString& id) { Note("ShowFolders", uris, id); }
  void ShowItems(const QStringList& uris, const QString& id) { Note("ShowItems", uris, id); }

 private:
  const QString record_;
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2) return 2;
  FileManager manager(args.at(1));
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                          QDBusConnection::ExportAllSlots) ||
      !bus.registerService(QStringLiteral("org.freedesktop.FileManager1")))
    return 1;
  manager.Note("ready", {}, {});
  return app.exec();
}

#include "fake_file_manager.moc"
