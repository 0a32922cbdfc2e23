#include "platform/files.h"

#include <windows.h>
// The Win32 macro of this name would rename ours.
#undef ReplaceFile

#include <memory>
#include <mutex>
#include <vector>

#include "core/paths.h"
#include "core/text_reading.h"
#include "core/utf8.h"
#include "platform/errors.h"
#include "platform/win32/item_facts.h"
#include "platform/win32/system_error.h"
#include "platform/win32/wide_text.h"

namespace tallyrun::platform {
namespace {

// Another recorder or a tool holding the log is waited for this long, then
// the user hears who is in the way instead of waiting for ever.
constexpr DWORD kLockWaitMs = kLockWaitSeconds * 1000;
constexpr DWORD kLockPollMs = 50;

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) ::CloseHandle(h_);
  }
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }

 private:
  HANDLE h_;
};

Status FromLastError() { return Status::Failure(ReasonFromSystemError(::GetLastError())); }

Status CheckPath(const std::string& path) {
  if (path.empty()) return Status::Failure(kReasonEmptyPath);
  if (path.find('\0') != std::string::npos) return Status::Failure(kReasonNulInPath);
  // Bytes that are no text (a settings value in no known encoding) would
  // name another file, with U+FFFD in their place.
  if (!IsValidUtf8(path)) return Status::Failure("パスに文字として読めないバイトが含まれています");
  return Status::Ok();
}

// Only files on a disk: a device name (NUL, COM1, CON) would swallow or send
// the batch somewhere else, and a folder is named as such.
Status CheckRegular(HANDLE h) {
  if (::GetFileType(h) != FILE_TYPE_DISK) return Status::Failure(kReasonNotRegularFile);
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(h, &info)) return FromLastError();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Status::Failure("フォルダです");
  return Status::Ok();
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Read access lets us look at the last byte and take a failed batch back; a
// log we may only append to still works without them.
HANDLE OpenForAppending(const std::wstring& path, bool& can_take_back) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  const DWORD full =
      FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
  const DWORD waited_from = ::GetTickCount();
  for (;;) {
    can_take_back = true;
    HANDLE h = ::CreateFileW(path.c_str(), full, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED) {
      can_take_back = false;
      h = ::CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, share,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE) ::SetLastError(ERROR_ACCESS_DENIED);
    }
    if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION ||
        ::GetTickCount() - waited_from >= kLockWaitMs) {
      return h;
    }
    ::Sleep(kLockPollMs);
  }
}

// A log we may only append to cannot be locked; its writes still land whole
// at the end, one call each.
Status LockForBatch(HANDLE h, bool append_only) {
  const DWORD waited_from = ::GetTickCount();
  for (;;) {
    // One byte far past any real end: recorders (and a program holding the
    // whole file) meet there, while readers of the records are never held up.
    OVERLAPPED at{};
    at.Offset = MAXDWORD - 1;
    at.OffsetHigh = MAXDWORD >> 1;
    if (::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      return Status::Ok();
    }
    const DWORD error = ::GetLastError();
    if (append_only && error == ERROR_ACCESS_DENIED) return Status::Ok();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
      return Status::Failure(ReasonFromSystemError(error));
    }
    if (::GetTickCount() - waited_from >= kLockWaitMs) {
      return Status::Failure(LockedByOtherReason(kLockWaitSeconds));
    }
    ::Sleep(kLockPollMs);
  }
}

bool EndsWithLineEnd(HANDLE h, LONGLONG size, bool readable) {
  if (size == 0) return true;
  if (!readable) return false;  // never assume the line is finished
  char last = 0;
  DWORD n = 0;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(size - 1);
  at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
  return ::ReadFile(h, &last, 1, &n, &at) && n == 1 && last == '\n';
}

// An offset of -1 writes at the file's end, wherever that is by then.
// `done` counts the bytes that got in, also when it fails part way.
bool WriteAt(HANDLE h, LONGLONG offset, std::string_view data, std::size_t& done) {
  constexpr LONGLONG kAtEnd = -1;
  done = 0;
  while (done < data.size()) {
    const std::size_t left = data.size() - done;
    const DWORD piece = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!::WriteFile(h, data.data() + done, piece, &n, &at)) return false;
    if (n == 0) {
      ::SetLastError(ERROR_DISK_FULL);
      return false;
    }
    done += n;
    if (offset != kAtEnd) offset += n;
  }
  return true;
}

bool TruncateTo(HANDLE h, LONGLONG size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = size;
  return ::SetFileInformationByHandle(h, FileEndOfFileInfo, &end, sizeof end);
}

// Each line in the system's ANSI code page where that holds it exactly and
// the reader takes those bytes for it again, so that the system's own tools
// read the log; otherwise in UTF-8, as the core gave it (marked where the
// reader would take it for CP932).
std::string LogBytes(std::string_view lines) {
  std::string bytes;
  bytes.reserve(lines.size());
  while (!lines.empty()) {
    const std::size_t nl = lines.find('\n');
    const std::string_view line =
        lines.substr(0, nl == std::string_view::npos ? lines.size() : nl + 1);
    const std::string_view text =
        line.starts_with(kUtf8Mark) ? line.substr(kUtf8Mark.size()) : line;
    const std::optional<std::string> ansi = AnsiExact(text);
    const bool ansi_reads_back = ansi && *ansi != text && ReadingOf(*ansi) == Reading::kCp932;
    bytes.append(ansi_reads_back ? std::string_view(*ansi) : line);
    lines.remove_prefix(line.size());
  }
  return bytes;
}

// Where a failed batch cannot be taken back, what got in is ended on a whole
// line, and the user hears how many records it holds.
std::string KeptPart(HANDLE h, std::string_view written, std::size_t lead) {
  std::size_t done = 0;
  if (!written.empty() && written.back() != '\n') (void)WriteAt(h, -1, "\r\n", done);
  std::size_t records = 0;
  for (std::size_t i = lead; i < written.size(); ++i) records += written[i] == '\n';
  if (records == 0 && written.size() <= lead) return {};
  return KeptRecordsNote(records);
}

// How much of a path is its root ("C:\", "\\server\share\"), which is never
// created: a network share is a root here, beyond the folder helpers' rule.
std::size_t RootLength(const std::string& path) {
  if (path.size() >= 3 && path[1] == ':') return 3;
  if (path.starts_with("\\\\")) {
    const std::size_t server_end = path.find('\\', 2);
    if (server_end == std::string::npos) return path.size();
    const std::size_t share_end = path.find('\\', server_end + 1);
    return share_end == std::string::npos ? path.size() : share_end + 1;
  }
  return 0;
}

}  // namespace

Status AppendLines(const std::string& path, std::string_view lines, Landed* landed) {
  if (Status ok = CheckPath(path); !ok.ok()) return ok;
  const std::wstring wide = WidePath(path);
  if (IsFolder(wide)) return Status::Failure("フォルダです");
  const std::string bytes = LogBytes(lines);

  bool can_take_back = false;
  Handle h(OpenForAppending(wide, can_take_back));
  if (!h.valid()) {
    if (::GetLastError() == ERROR_SHARING_VIOLATION) {
      return Status::Failure(LockedByOtherReason(kLockWaitSeconds));
    }
    return FromLastError();
  }
  if (Status ok = CheckRegular(h.get()); !ok.ok()) return ok;
  // Other recorders may be appending at this moment: one at a time, one write each.
  if (Status ok = LockForBatch(h.get(), !can_take_back); !ok.ok()) return ok;

  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(h.get(), &size)) return FromLastError();
  std::string batch;
  std::string_view data = bytes;
  if (!EndsWithLineEnd(h.get(), size.QuadPart, can_take_back)) {
    batch.reserve(bytes.size() + 2);
    batch.append("\r\n").append(bytes);
    data = batch;
  }
  // At the file's end as it is then: another program may have emptied the
  // log meanwhile, and a write at the end seen before would leave a gap.
  std::size_t done = 0;
  if (WriteAt(h.get(), -1, data, done)) {
    // Under our lock, the batch ends the file.
    LARGE_INTEGER end{};
    if (landed != nullptr && ::GetFileSizeEx(h.get(), &end)) {
      *landed = {static_cast<std::uint64_t>(end.QuadPart) - bytes.size(), bytes.size()};
    }
    return Status::Ok();
  }
  const std::string reason = ReasonFromSystemError(::GetLastError());
  // Nothing half-written: what got in is ours alone, and is taken back from
  // where it began, counted back from the end it made.
  LARGE_INTEGER end{};
  if (can_take_back && ::GetFileSizeEx(h.get(), &end) &&
      end.QuadPart >= static_cast<LONGLONG>(done) && TruncateTo(h.get(), end.QuadPart - done)) {
    return Status::Failure(reason);
  }
  return Status::Failure(reason +
                         KeptPart(h.get(), data.substr(0, done), data.size() - bytes.size()));
}

namespace {

constexpr DWORD kPiece = DWORD{1} << 20;

// Read buffers are kept for the next read. The system checks every page of a
// read's buffer before it fills it, and pages new to the process cost a fault
// each (under Wine, with a second thread running, a TLB shootdown too).
class ReadBuffer {
 public:
  ReadBuffer() {
    const std::lock_guard lock(mutex_);
    if (spare_.empty()) {
      buffer_ = std::make_unique_for_overwrite<char[]>(kPiece);
    } else {
      buffer_ = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  ~ReadBuffer() {
    const std::lock_guard lock(mutex_);
    spare_.push_back(std::move(buffer_));
  }
  ReadBuffer(const ReadBuffer&) = delete;
  ReadBuffer& operator=(const ReadBuffer&) = delete;
  char* get() const { return buffer_.get(); }

 private:
  static inline std::mutex mutex_;
  static inline std::vector<std::unique_ptr<char[]>> spare_;
  std::unique_ptr<char[]> buffer_;
};

}  // namespace

Status ReadChunks(const std::string& path, std::uint64_t from,
                  const std::function<bool(std::string_view)>& sink) {
  if (Status ok = CheckPath(path); !ok.ok()) return ok;
  Handle h(::CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!h.valid()) return FromLastError();
  if (Status ok = CheckRegular(h.get()); !ok.ok()) return ok;
  LARGE_INTEGER start{};
  start.QuadPart = static_cast<LONGLONG>(from);
  if (from > 0 && !::SetFilePointerEx(h.get(), start, nullptr, FILE_BEGIN)) return FromLastError();

  const ReadBuffer buffer;
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h.get(), buffer.get(), kPiece, &n, nullptr)) return FromLastError();
    if (n == 0) break;
    if (!sink(std::string_view(buffer.get(), n))) break;
  }
  return Status::Ok();
}

Status ReplaceFile(const std::string& path, std::string_view contents) {
  if (Status ok = CheckPath(path); !ok.ok()) return ok;
  const std::wstring target = WidePath(path);
  if (IsFolder(target)) return Status::Failure("フォルダです");
  MakeParentFolders(path);

  const std::wstring temp = target + L".tmp" + std::to_wstring(::GetCurrentProcessId());
  {
    Handle h(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return FromLastError();
    std::size_t done = 0;
    if (!WriteAt(h.get(), 0, contents, done) || !::FlushFileBuffers(h.get())) {
      const Status failed = FromLastError();
      ::CloseHandle(h.get());
      ::DeleteFileW(temp.c_str());
      return failed;
    }
  }
  if (!::MoveFileExW(temp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const Status failed = FromLastError();
    ::DeleteFileW(temp.c_str());
    return failed;
  }
  return Status::Ok();
}

ItemFacts ItemFactsFrom(DWORD attributes, const FILETIME& last_write) {
  ItemFacts facts;
  facts.attributes = attributes & 0x7FFF;
  SYSTEMTIME universal, local;
  if (::FileTimeToSystemTime(&last_write, &universal) &&
      ::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
    facts.modified = {local.wYear, local.wMonth,  local.wDay,
                      local.wHour, local.wMinute, local.wSecond};
  }
  return facts;
}

std::optional<ItemFacts> ItemFactsOf(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return std::nullopt;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  return ItemFactsFrom(data.dwFileAttributes, data.ftLastWriteTime);
}

std::optional<FileStamp> StampOf(const std::string& path) {
  if (!CheckPath(path).ok()) return std::nullopt;
  // Opened for its attributes alone, which no other program's lock or
  // sharing holds up.
  Handle h(::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!h.valid() || ::GetFileType(h.get()) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(h.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  const auto pair = [](DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
  };
  return FileStamp{info.dwVolumeSerialNumber, pair(info.nFileIndexHigh, info.nFileIndexLow),
                   pair(info.nFileSizeHigh, info.nFileSizeLow),
                   static_cast<std::int64_t>(pair(info.ftLastWriteTime.dwHighDateTime,
                                                  info.ftLastWriteTime.dwLowDateTime))};
}

bool Exists(const std::string& path) {
  return !path.empty() && ::GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string CurrentDirectory() {
  std::wstring dir(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(dir.size()), dir.data());
    if (n == 0) return {};
    if (n < dir.size()) {
      dir.resize(n);
      return Narrow(dir);
    }
    dir.resize(n);
  }
}

bool MakeParentFolders(const std::string& path) {
  if (!IsFullPath(path)) return true;
  const std::string parent = FolderOf(path);
  for (std::size_t at = RootLength(parent); at <= parent.size(); ++at) {
    if (at < parent.size() && parent[at] != '\\' && parent[at] != '/') continue;
    if (at == 0) continue;
    ::CreateDirectoryW(WidePath(parent.substr(0, at)).c_str(), nullptr);
  }
  return IsFolder(WidePath(parent));
}

// Writing past a disk's end fails with an error here; no signal to turn off.
void TakeFileSizeLimitAsError() {}

// Files are handles here, never given a standard stream's number.
ClosedStreams KeepStandardStreamsTaken() { return {}; }

}  // namespace tallyrun::platform
