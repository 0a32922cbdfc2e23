#include "platform/files.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "core/paths.h"

#include "platform/clock.h"
#include "platform/errors.h"

namespace tallyrun::platform {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  ~FileDescriptor() { Reset(-1); }
  int get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
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

// Kernel interfaces dressed as files: writing one changes the system (the
// host name, a device's settings), never a log.
bool IsPseudoFileSystem(int fd) {
  struct statfs fs;
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case BPF_FS_MAGIC:
    case EFIVARFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BINFMTFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case NSFS_MAGIC:
    case 0x62656570:  // configfs
    case 0x65735543:  // fusectl
    case 0x19800202:  // mqueue
      return true;
    default:
      return false;
  }
}

// What is really wrong when a file cannot be made: a folder on its way that
// is missing or is not a folder says more than "a folder" or "not found".
Status CannotCreate(const std::string& path, int error_number) {
  struct stat st;
  if (error_number == EISDIR || error_number == ENOENT) {
    if (::stat(path.c_str(), &st) != 0) error_number = errno;
    if (error_number == ENOENT) return Status::Failure(kReasonFolderMissing);
  }
  return Status::Failure(ReasonFromErrno(error_number));
}

// An opened regular file, or the reason it was not opened.
struct Opened {
  FileDescriptor fd{-1};
  Status status = Status::Ok();
  // Read access was asked for and refused; writing alone may still be allowed.
  bool read_refused = false;
};

// Never blocks and never opens anything but a regular file: opening a device
// or a FIFO can itself have effects (a waiting writer let through, a tape
// rewound). The check after opening covers a file swapped in meanwhile.
Opened OpenRegular(const std::string& path, int flags, mode_t mode) {
  Opened opened;
  struct stat st;
  if (path.empty()) {
    opened.status = Status::Failure(kReasonEmptyPath);
  } else if (HoldsNul(path)) {
    opened.status = Status::Failure(kReasonNulInPath);
  } else if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    opened.status = NotRegular(st);
  } else {
    int fd;
    do {
      fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      opened.read_refused = errno == EACCES && (flags & O_ACCMODE) != O_WRONLY;
      opened.status = (flags & O_CREAT) != 0 ? CannotCreate(path, errno) : FromErrno();
      return opened;
    }
    opened.fd.Reset(fd);
    if (::fstat(fd, &st) != 0) {
      opened.status = FromErrno();
    } else if (!S_ISREG(st.st_mode)) {
      opened.status = NotRegular(st);
    }
  }
  if (!opened.status.ok()) opened.fd.Reset(-1);
  return opened;
}

bool WriteAll(int fd, std::string_view data, std::size_t& written) {
  written = 0;
  while (written < data.size()) {
    const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, std::string_view data) {
  std::size_t written;
  return WriteAll(fd, data, written);
}

// With O_APPEND each piece lands wherever the file ends at that moment, which
// another program may have moved (emptying the log meanwhile): where the
// batch began is learnt from where its pieces ended, and is known only while
// they follow one another (-1 otherwise).
bool AppendAll(int fd, std::string_view data, std::size_t& written, off_t& began) {
  written = 0;
  began = -1;
  while (written < data.size()) {
    const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    const off_t piece_began = ::lseek(fd, 0, SEEK_CUR) - n;
    if (written == 0) began = piece_began;
    if (began < 0 || piece_began != began + static_cast<off_t>(written)) began = -1;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// A write that stops part way could leave a cut line where it cannot be
// taken back (an append-only log), so the batch must fit before it starts:
// under the file-size limit, and in room taken for it on the disk where the
// file system can, so that a full disk refuses it whole.
Status MakeRoom(int fd, off_t size, std::size_t more) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<rlim_t>(size) + more > limit.rlim_cur) {
    return Status::Failure(ReasonFromErrno(EFBIG));
  }
  int rc;
  do {
    rc = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, size, static_cast<off_t>(more));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 && (errno == ENOSPC || errno == EDQUOT)) return FromErrno();
  return Status::Ok();
}

// Unknown when the file cannot be read: then the line is taken as unfinished,
// and the empty line a needless line end makes is skipped by every reader.
bool EndsWithLineEnd(int fd, off_t size, bool readable) {
  if (size == 0) return true;
  char last = '\n';
  if (!readable || ::pread(fd, &last, 1, size - 1) != 1) return false;
  return last == '\n';
}

// Folders the program makes hold the user's own settings and logs: theirs
// alone, as the XDG base-directory rules ask.
bool MakeDirectories(const std::string& dir) {
  if (dir.empty() || dir == "/" || dir == ".") return true;
  if (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) return true;
  if (errno != ENOENT) return false;
  return MakeDirectories(FolderOf(dir)) && (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST);
}

// The system offers no wait for a lock with a time limit, so a child process
// waits in the kernel's queue, fairly among other recorders, on the same open
// file, which then holds the lock for us too; given up on, it is ended.
Status Lock(int fd) {
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Status::Ok();
  if (errno != EWOULDBLOCK) return FromErrno();
  const pid_t waiter = ::fork();
  if (waiter < 0) return FromErrno();
  if (waiter == 0) {
    int rc;
    do {
      rc = ::flock(fd, LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    ::_exit(rc == 0 ? 0 : 1);
  }
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(kLockWaitSeconds);
  auto pause = std::chrono::microseconds(100);
  int status = 0;
  for (;;) {
    const pid_t ended = ::waitpid(waiter, &status, WNOHANG);
    if (ended == waiter) break;
    if (ended < 0 && errno != EINTR) return FromErrno();
    if (std::chrono::steady_clock::now() >= give_up) {
      ::kill(waiter, SIGKILL);
      while (::waitpid(waiter, &status, 0) < 0 && errno == EINTR) {
      }
      return Status::Failure(LockedByOtherReason(kLockWaitSeconds));
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(10000));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return Status::Ok();
  return Status::Failure(ReasonFromErrno(ENOLCK));
}

// Whole lines in `data`, less the line end put before a batch.
std::size_t WholeRecords(std::string_view data, bool line_end_first) {
  const auto lines = static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n'));
  return line_end_first && lines > 0 ? lines - 1 : lines;
}

// After a failed write of `data` that began at offset `began`, of which
// `written` bytes got in. Only a tail that is provably ours is taken back: the
// file still ends where our bytes do. Where that is not so, or the system
// refuses (an append-only file), what got in is ended on a whole line and kept.
Status TakeBack(int fd, off_t began, std::string_view data, std::size_t written,
                bool line_end_first, int error_number) {
  struct stat now;
  const bool ours =
      began >= 0 && ::fstat(fd, &now) == 0 && now.st_size == began + static_cast<off_t>(written);
  if (written == 0 || (ours && ::ftruncate(fd, began) == 0)) {
    return Status::Failure(ReasonFromErrno(error_number));
  }
  if (data[written - 1] != '\n') (void)WriteAll(fd, "\r\n");
  return Status::Failure(ReasonFromErrno(error_number) +
                         KeptRecordsNote(WholeRecords(data.substr(0, written), line_end_first)));
}

}  // namespace

Status AppendLines(const std::string& path, std::string_view lines, Landed* landed) {
  // Read access lets us check the last byte; a write-only log still works.
  Opened opened = OpenRegular(path, O_RDWR | O_APPEND | O_CREAT, 0666);
  const bool readable = !opened.read_refused;
  if (opened.read_refused) opened = OpenRegular(path, O_WRONLY | O_APPEND | O_CREAT, 0666);
  if (!opened.status.ok()) return opened.status;
  const int fd = opened.fd.get();
  if (IsPseudoFileSystem(fd)) return Status::Failure(kReasonNotRegularFile);

  // Other recorders may be appending at this moment: one at a time, one write each.
  if (Status locked = Lock(fd); !locked.ok()) return locked;
  struct stat st;
  if (::fstat(fd, &st) != 0) return FromErrno();

  std::string batch;
  std::string_view data = lines;
  const bool line_end_first = !EndsWithLineEnd(fd, st.st_size, readable);
  if (line_end_first) {
    batch.reserve(lines.size() + 2);
    batch.append("\r\n").append(lines);
    data = batch;
  }
  if (Status room = MakeRoom(fd, st.st_size, data.size()); !room.ok()) return room;
  const DeferredTermination hold;
  std::size_t written = 0;
  off_t began = -1;
  if (!AppendAll(fd, data, written, began)) {
    return TakeBack(fd, began, data, written, line_end_first, errno);
  }
  if (opened.fd.Close() != 0) return FromErrno();
  if (landed != nullptr) {
    const off_t at = began >= 0 ? began : st.st_size;
    *landed = {static_cast<std::uint64_t>(at) + (data.size() - lines.size()), lines.size()};
  }
  return Status::Ok();
}

Status ReadChunks(const std::string& path, std::uint64_t from,
                  const std::function<bool(std::string_view)>& sink) {
  const Opened opened = OpenRegular(path, O_RDONLY, 0);
  if (!opened.status.ok()) return opened.status;
  const FileDescriptor& fd = opened.fd;
  ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  if (from > 0 && ::lseek(fd.get(), static_cast<off_t>(from), SEEK_SET) < 0) return FromErrno();

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
  if (!MakeDirectories(FolderOf(target))) return FromErrno();

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

std::optional<ItemFacts> ItemFactsOf(const std::string& path) {
  struct stat st;
  if (path.empty() || HoldsNul(path) || ::stat(path.c_str(), &st) != 0) return std::nullopt;

  const std::string_view name = FinalName(path);
  ItemFacts facts;
  if (S_ISDIR(st.st_mode)) facts.attributes |= kAttributeFolder;
  if ((st.st_mode & S_IWUSR) == 0) facts.attributes |= kAttributeReadOnly;
  if (!name.empty() && name.front() == '.') facts.attributes |= kAttributeHidden;
  facts.modified = ToLocalTime(st.st_mtim.tv_sec);
  return facts;
}

std::optional<FileStamp> StampOf(const std::string& path) {
  struct stat st;
  if (path.empty() || HoldsNul(path) || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return std::nullopt;
  }
  return FileStamp{
      static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
      static_cast<std::uint64_t>(st.st_size),
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

bool Exists(const std::string& path) {
  struct stat st;
  return !path.empty() && !HoldsNul(path) && ::stat(path.c_str(), &st) == 0;
}

void TakeFileSizeLimitAsError() { ::signal(SIGXFSZ, SIG_IGN); }

ClosedStreams KeepStandardStreamsTaken() {
  bool closed[3] = {};
  // In order, so that the lowest free number, which open() gives, is this one.
  for (int fd = 0; fd < 3; ++fd) {
    closed[fd] = ::fcntl(fd, F_GETFD) < 0 && errno == EBADF;
    if (closed[fd]) (void)::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
  }
  return {closed[0], closed[1], closed[2]};
}

std::string CurrentDirectory() {
  std::string dir(256, '\0');
  for (;;) {
    if (::getcwd(dir.data(), dir.size()) != nullptr) {
      dir.resize(std::char_traits<char>::length(dir.c_str()));
      return IsFullPath(dir) ? dir : std::string();
    }
    if (errno != ERANGE) return {};
    dir.resize(dir.size() * 2);
  }
}

bool MakeParentFolders(const std::string& path) { return MakeDirectories(FolderOf(path)); }

}  // namespace tallyrun::platform
