// Following the log while the window shows it: whole records that other
// programs append are read as they arrive; a log that is replaced or cut
// short is reported, to be read again from the start.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "core/env.h"
#include "core/log_reader.h"

namespace tallyrun::ui {

class LogFollower : public QObject {
  Q_OBJECT

 public:
  // `arrived` is given the entries read, newest first; `replaced` is told
  // when the file is no longer the one that was read.
  LogFollower(Env& env, std::function<void(const LogEntries&)> arrived,
              std::function<void()> replaced, QObject* parent);

  // Reads the whole log as the list shows it and follows it from there on.
  LogEntries ReadAndFollow(const std::string& path);
  void Stop();

  // A batch this window has just appended to `path`: when it is read back
  // from the log followed, it is passed over, since the window listed it
  // already.
  void Wrote(const std::string& path, std::string batch);
  // Reads what has arrived since the last reading, now.
  void CatchUp();

 private:
  void Watch();
  bool SameFileAsRead(QIODevice& file, qint64 size);
  void PassOverOwnBatches();
  void TakeWholeLines();

  Env& env_;
  const std::function<void(const LogEntries&)> arrived_;
  const std::function<void()> replaced_;
  QFileSystemWatcher watcher_;
  QTimer soon_;
  std::string path_;
  qint64 read_to_ = 0;
  // The start of the file as first read, to tell a replaced file by.
  QByteArray head_;
  // Bytes read but not yet a whole line; `listed_partial_` when the
  // reading that showed the list took them as its last line already.
  std::string unfinished_;
  bool listed_partial_ = false;
  std::vector<std::string> own_batches_;
};

}  // namespace tallyrun::ui
