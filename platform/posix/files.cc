#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/clock.h"
#include "platform/errors.h"

namespace tallyrun::platform {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closing can report a failed write-back; callers that wrote must see it.
  int Close() {
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

Status FromErrno() { return Status::Failure(ReasonFromErrno(errno)); }

// The system would cut the name at the NUL and use another file than the one
// named.
bool HoldsNul(const std::string& path) { return path.find('\0') != std::string::npos; }

// Past the file-size limit a write must fail like a full disk, so that the
// batch can be taken back; by default the process would end mid-line.
void TakeFileSizeLimitAsError() {
  static const bool ignored = ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
  (void)ignored;
}

// Holds back the signals that end a process (Ctrl-C, logout, plain kill) while a
// batch goes in, so that the batch is whole or taken back before they land:
// the kernel stops a write part way for them. Waits outside, such as for the
// lock, stay interruptible.
class DeferredTermination {
 public:
  DeferredTermination() {
    sigset_t held;
    sigemptyset(&held);
    for (const int s : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGPIPE, SIGUSR1, SIGUSR2,
                        SIGVTALRM, SIGPROF, SIGXCPU}) {
      sigaddset(&held, s);
    }
    ::pthread_sigmask(SIG_BLOCK, &held, &before_);
  }
  ~DeferredTermination() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
  DeferredTermination(const DeferredTermination&) = delete;
  DeferredTermination& operator=(const DeferredTermination&) = delete;

 private:
  sigset_t before_;
};

Status NotRegular(const struct stat& st) {
  return S_ISDIR(st.st_mode) ? Status::Failure(ReasonFromErrno(EISDIR))
                             : Status::Failure(kReasonNotRegularFile);
}

// Never blocks and never opens anything but a regular file: opening a device
// or a FIFO can itself have effects (a waiting writer let through, a tape
// rewound). The check after opening covers a file swapped in meanwhile.
int OpenRegular(const std::string& path, int flags, mode_t mode, Status& status) {
  errno = 0;
  if (path.empty()) {
    status = Status::Failure(kReasonEmptyPath);
    return -1;
  }
  if (HoldsNul(path)) {
    status = Status::Failure(kReasonNulInPath);
    return -1;
  }
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    status = NotRegular(st);
    return -1;
  }
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    status = FromErrno();
    return -1;
  }
  if (::fstat(fd, &st) != 0) {
    status = FromErrno();
    ::close(fd);
    errno = 0;
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    status = NotRegular(st);
    ::close(fd);
    errno = 0;
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool EndsWithLineEnd(int fd, off_t size) {
  if (size == 0) return true;
  char last = '\n';
  if (::pread(fd, &last, 1, size - 1) != 1) return true;
  return last == '\n';
}

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool MakeDirectories(const std::string& dir) {
  if (dir.empty() || dir == "/" || dir == ".") return true;
  if (::mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST) return true;
  if (errno != ENOENT) return false;
  return MakeDirectories(ParentOf(dir)) && (::mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST);
}

}  // namespace

Status AppendLines(const std::string& path, std::string_view lines) {
  TakeFileSizeLimitAsError();
  Status status = Status::Ok();
  // Read access lets us check the last byte; a write-only log still works.
  int raw = OpenRegular(path, O_RDWR | O_APPEND | O_CREAT, 0666, status);
  if (raw < 0 && errno == EACCES)
    raw = OpenRegular(path, O_WRONLY | O_APPEND | O_CREAT, 0666, status);
  if (raw < 0) return status;
  FileDescriptor fd(raw);

  // Other recorders may be appending at this moment: one at a time, one write each.
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return FromErrno();
  }
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return FromErrno();

  std::string batch;
  std::string_view data = lines;
  if (!EndsWithLineEnd(fd.get(), st.st_size)) {
    batch.reserve(lines.size() + 2);
    batch.append("\r\n").append(lines);
    data = batch;
  }
  const DeferredTermination hold;
  if (!WriteAll(fd.get(), data)) {
    const int error_number = errno;
    // Nothing half-written: take back whatever part of the batch got in.
    if (::ftruncate(fd.get(), st.st_size) != 0) {
      // The reason the write failed is what the user needs to hear.
    }
    return Status::Failure(ReasonFromErrno(error_number));
  }
  if (fd.Close() != 0) return FromErrno();
  return Status::Ok();
}

Status ReadChunks(const std::string& path, const std::function<bool(std::string_view)>& sink) {
  Status status = Status::Ok();
  const int raw = OpenRegular(path, O_RDONLY, 0, status);
  if (raw < 0) return status;
  FileDescriptor fd(raw);
  ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

  constexpr std::size_t kPiece = std::size_t{1} << 20;
  const auto buffer = std::make_unique_for_overwrite<char[]>(kPiece);
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer.get(), kPiece);
    if (n < 0) {
      if (errno == EINTR) continue;
      // A special file dressed as a regular one (such as /proc/kmsg) would
      // otherwise be waited on for ever.
      if (errno == EAGAIN) return Status::Failure(kReasonNotRegularFile);
      return FromErrno();
    }
    if (n == 0) break;
    if (!sink(std::string_view(buffer.get(), static_cast<std::size_t>(n)))) break;
  }
  return Status::Ok();
}

Status ReplaceFile(const std::string& path, std::string_view contents) {
  if (path.empty()) return Status::Failure(kReasonEmptyPath);
  if (HoldsNul(path)) return Status::Failure(kReasonNulInPath);
  TakeFileSizeLimitAsError();

  std::string target = path;
  struct stat old;
  const bool existed = ::stat(path.c_str(), &old) == 0;
  if (existed) {
    if (!S_ISREG(old.st_mode)) return NotRegular(old);
    // A file kept elsewhere through a link stays linked: the file it points
    // at is the one replaced.
    struct stat link;
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      if (char* real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        ::free(real);
      }
    }
  }
  if (!MakeDirectories(ParentOf(target))) return FromErrno();

  // From here until the rename, an ending process would leave the temporary
  // file behind.
  const DeferredTermination hold;
  std::string temp = target + ".XXXXXX";
  const int raw = ::mkostemp(temp.data(), O_CLOEXEC);
  if (raw < 0) return FromErrno();
  FileDescriptor fd(raw);
  auto fail = [&temp]() {
    const int error_number = errno;
    ::unlink(temp.c_str());
    return Status::Failure(ReasonFromErrno(error_number));
  };

  const mode_t mode = existed ? (old.st_mode & 07777) : 0644;
  if (::fchmod(fd.get(), mode) != 0) return fail();
  if (!WriteAll(fd.get(), contents) || ::fsync(fd.get()) != 0 || fd.Close() != 0) return fail();
  if (::rename(temp.c_str(), target.c_str()) != 0) return fail();
  return Status::Ok();
}

std::optional<ItemStatus> ItemStatusOf(const std::string& path) {
  struct stat st;
  if (path.empty() || HoldsNul(path) || ::stat(path.c_str(), &st) != 0) return std::nullopt;

  std::string_view name = path;
  while (name.size() > 1 && name.back() == '/') name.remove_suffix(1);
  const std::size_t slash = name.find_last_of('/');
  if (slash != std::string_view::npos && name.size() > 1) name.remove_prefix(slash + 1);

  ItemStatus status;
  if (S_ISDIR(st.st_mode)) status.attributes |= kAttributeFolder;
  if ((st.st_mode & S_IWUSR) == 0) status.attributes |= kAttributeReadOnly;
  if (!name.empty() && name.front() == '.') status.attributes |= kAttributeHidden;
  status.modified = ToLocalTime(st.st_mtim.tv_sec);
  return status;
}

bool Exists(const std::string& path) {
  struct stat st;
  return !path.empty() && !HoldsNul(path) && ::stat(path.c_str(), &st) == 0;
}

std::string CurrentDirectory() {
  std::string dir(256, '\0');
  for (;;) {
    if (::getcwd(dir.data(), dir.size()) != nullptr) {
      dir.resize(std::char_traits<char>::length(dir.c_str()));
      return dir;
    }
    if (errno != ERANGE) return {};
    dir.resize(dir.size() * 2);
  }
}

bool MakeParentFolders(const std::string& path) { return MakeDirectories(ParentOf(path)); }

}  // namespace tallyrun::platform
