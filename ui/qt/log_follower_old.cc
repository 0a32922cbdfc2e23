#include "ui/main/log_follower.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <string_view>
#include <utility>

namespace tallyrun::ui {
namespace {

// Enough of the start to tell one log from another that replaced it.
constexpr std::size_t kHeadBytes = 4096;
// Appends come in bursts: one reading takes a whole burst.
constexpr int kBurstMilliseconds = 30;

QString FileName(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace

LogFollower::LogFollower(Env& env, std::function<void(const LogEntries&)> arrived,
                         std::function<void()> replaced, QObject* parent)
    : QObject(parent), env_(env), arrived_(std::move(arrived)), replaced_(std::move(replaced)) {
  soon_.setSingleShot(true);
  soon_.setInterval(kBurstMilliseconds);
  connect(&soon_, &QTimer::timeout, this, &LogFollower::CatchUp);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, &soon_, qOverload<>(&QTimer::start));
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, &soon_, qOverload<>(&QTimer::start));
}

LogEntries LogFollower::ReadAndFollow(const std::string& path) {
  Stop();
  path_ = path;
  LogEntries entries;
  LogReader reader(env_, entries);
  (void)env_.ReadChunks(path, [this, &reader](std::string_view piece) {
    head_.append(piece.data(),
                 static_cast<qsizetype>(
                     std::min(piece.size(), kHeadBytes - static_cast<std::size_t>(head_.size()))));
    read_to_ += static_cast<qint64>(piece.size());
    const std::size_t line_end = piece.rfind('\n');
    if (line_end == std::string_view::npos) {
      unfinished_.append(piece);
    } else {
      unfinished_.assign(piece.substr(line_end + 1));
    }
    reader.Feed(piece);
    return true;
  });
  // An unfinished last line is listed when it reads as a record already;
  // once finished, it is not listed again. Otherwise it waits for its end.
  const std::size_t before_last = entries.size();
  reader.Finish();
  listed_partial_ = !unfinished_.empty() && entries.size() > before_last;
  Watch();
  return entries;
}

void LogFollower::Stop() {
  soon_.stop();
  if (!watcher_.files().isEmpty()) watcher_.removePaths(watcher_.files());
  if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
  path_.clear();
  read_to_ = 0;
  head_.clear();
  unfinished_.clear();
  listed_partial_ = false;
  own_batches_.clear();
}

void LogFollower::Wrote(const std::string& path, std::string batch) {
  if (path == path_) own_batches_.push_back(std::move(batch));
}

void LogFollower::Watch() {
  const QString file = FileName(path_);
  const QFileInfo info(file);
  if (!watcher_.directories().contains(info.absolutePath())) watcher_.addPath(info.absolutePath());
  if (info.isFile() && !watcher_.files().contains(file)) watcher_.addPath(file);
}

void LogFollower::CatchUp() {
  soon_.stop();
  if (path_.empty()) return;
  Watch();  // a file created or put in place since is watched from now on
  const QString name = FileName(path_);
  // Only a regular file is read: a FIFO would hold the window up.
  if (!QFileInfo(name).isFile()) {
    if (read_to_ > 0) replaced_();
    return;
  }
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) return;
  const qint64 size = file.size();
  if (size == read_to_) return;
  if (!SameFileAsRead(file, size) || !file.seek(read_to_)) {
    replaced_();
    return;
  }
  const QByteArray added = file.read(size - read_to_);
  read_to_ += added.size();
  unfinished_.append(added.constData(), static_cast<std::size_t>(added.size()));
  PassOverOwnBatches();
  TakeWholeLines();
}

bool LogFollower::SameFileAsRead(QIODevice& file, qint64 size) {
  if (size < read_to_) return false;
  return file.read(head_.size()) == head_;
}

void LogFollower::PassOverOwnBatches() {
  for (const std::string& batch : own_batches_) {
    const std::size_t at = unfinished_.find(batch);
    if (at != std::string::npos) unfinished_.erase(at, batch.size());
  }
  // Each was whole in the file before this reading began.
  own_batches_.clear();
}

void LogFollower::TakeWholeLines() {
  const std::size_t end = unfinished_.rfind('\n');
  if (end == std::string::npos) return;
  std::string_view whole(unfinished_.data(), end + 1);
  if (listed_partial_) {
    whole.remove_prefix(whole.find('\n') + 1);
    listed_partial_ = false;
  }
  LogEntries added;
  while (!whole.empty()) {
    // A line at a time: a damaged line among them hides none after it.
    const std::size_t line_end = whole.find('\n') + 1;
    LogReader reader(env_, added);
    reader.Feed(whole.substr(0, line_end));
    reader.Finish();
    whole.remove_prefix(line_end);
  }
  unfinished_.erase(0, end + 1);
  if (!added.empty()) arrived_(added);
}

}  // namespace tallyrun::ui
