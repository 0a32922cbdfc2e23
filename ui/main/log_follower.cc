#include "ui/main/log_follower.h"

#include <algorithm>
#include <thread>

#include "core/log_reader.h"

namespace tallyrun::ui {
namespace {

// Enough of what was read last to tell a refilled file from one appended to.
constexpr std::size_t kTailBytes = 64;

}  // namespace

Status LogFollower::Open(const std::string& path, RecordPlaces& places) {
  Stop();
  path_ = path;
  scanner_ = std::make_unique<LogScanner>(places);
  // Taken first: a file replaced while it is read is then told at the next look.
  seen_ = env_.StampOf(path);
  const std::uint64_t size = seen_ ? seen_->size : 0;
  const std::uint64_t half = size >= split_from_ ? LineStartFrom(size / 2) : 0;
  RecordPlaces earlier;
  Status first_half = Status::Ok();
  {
    // This thread reads on from the middle, as following goes on from there.
    std::jthread before;
    if (half > 0) before = std::jthread([&] { first_half = ScanLog(env_, path, earlier, half); });
    read_to_ = half;
    const Status read = env_.ReadChunks(path, half, [this](std::string_view piece) {
      Take(piece);
      return true;
    });
    scanner_->Finish();
    if (!read.ok()) first_half = read;
  }
  places.Prepend(std::move(earlier));
  return first_half;
}

std::uint64_t LogFollower::LineStartFrom(std::uint64_t at) const {
  std::uint64_t start = 0, offset = at;
  (void)env_.ReadChunks(path_, at, [&](std::string_view piece) {
    if (const std::size_t end = piece.find('\n'); end != std::string_view::npos) {
      start = offset + end + 1;
      return false;
    }
    offset += piece.size();
    return offset - at <= kLongestLogLine;
  });
  return start;
}

void LogFollower::Stop() {
  path_.clear();
  scanner_.reset();
  seen_.reset();
  read_to_ = 0;
  tail_.clear();
  own_.clear();
}

void LogFollower::Wrote(const std::string& path, const Landed& landed) {
  if (path == path_) own_.push_back(landed);
}

LogFollower::Found LogFollower::CatchUp() {
  if (!scanner_) return Found::kNothing;
  // How far the file is known to reach: what was read and what the window
  // wrote itself.
  std::uint64_t known = read_to_;
  for (const Landed& l : own_) known = std::max(known, l.offset + l.size);
  const std::optional<FileStamp> now = env_.StampOf(path_);
  if (!now) {
    // Gone, or no longer a regular file: what is listed is not there any more.
    seen_.reset();
    return known > 0 ? Found::kReplaced : Found::kNothing;
  }
  if (known > 0 && ((seen_ && !seen_->SameFile(*now)) || now->size < known)) {
    return Found::kReplaced;
  }
  if (seen_ == now && now->size == read_to_) return Found::kNothing;
  seen_ = now;

  // Read from just before where the last reading ended: those bytes must
  // still be there, or the file was emptied and filled again meanwhile.
  std::string expected = tail_;
  std::uint64_t budget = kMostReadAtOnce;
  const Status read = env_.ReadChunks(path_, read_to_ - tail_.size(), [&](std::string_view piece) {
    const std::size_t n = std::min(expected.size(), piece.size());
    if (piece.substr(0, n) != std::string_view(expected).substr(0, n)) return false;
    expected.erase(0, n);
    piece.remove_prefix(n);
    piece = piece.substr(0, budget);
    Take(piece);
    budget -= piece.size();
    return budget > 0;
  });
  // Locked or unreadable for now: the next look tries again.
  if (!read.ok()) return Found::kNothing;
  // Bytes that differ stop the reading with some still expected.
  if (!expected.empty()) return Found::kReplaced;
  return read_to_ < now->size ? Found::kMore : Found::kAdded;
}

void LogFollower::Take(std::string_view bytes) {
  while (!bytes.empty()) {
    std::erase_if(own_, [this](const Landed& l) { return l.offset + l.size <= read_to_; });
    // The window's own batch that this reading is in, or the next one.
    std::uint64_t next = read_to_ + bytes.size();
    bool own = false;
    for (const Landed& l : own_) {
      if (l.offset <= read_to_) {
        own = true;
        next = l.offset + l.size;
        break;
      }
      next = std::min(next, l.offset);
    }
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(next - read_to_, bytes.size()));
    if (!own) scanner_->Feed(bytes.substr(0, n), read_to_);
    KeepTail(bytes.substr(0, n));
    read_to_ += n;
    bytes.remove_prefix(n);
  }
}

void LogFollower::KeepTail(std::string_view bytes) {
  if (bytes.size() >= kTailBytes) {
    tail_.assign(bytes.substr(bytes.size() - kTailBytes));
    return;
  }
  tail_.append(bytes);
  if (tail_.size() > kTailBytes) tail_.erase(0, tail_.size() - kTailBytes);
}

}  // namespace tallyrun::ui
