#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "core/text_reading.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/mounts.h"
#include "tests/test_support.h"

namespace tallyrun::platform {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::ptrdiff_t Count(const std::string& folder) {
  return std::ranges::distance(std::filesystem::directory_iterator(folder));
}

// Its last line may be unfinished, so the batch starts on a line of its own.
// Root reads anything; the append is made as another user then.
TEST(AppendLines, ALogThatCanBeWrittenButNotReadGetsTheBatchOnALineOfItsOwn) {
  TempDir dir;
  const std::string log = dir / "t.log";
  WriteFile(log, "unfinished");
  ASSERT_EQ(::chmod(log.c_str(), 0200), 0);
  constexpr uid_t kNobody = 65534;
  ASSERT_EQ(::chown(dir.path().c_str(), kNobody, kNobody) | ::chown(log.c_str(), kNobody, kNobody),
            0);
  if (const pid_t child = ::fork(); child == 0) {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(2);
    ::_exit(AppendLines(log, "e\r\n").ok() ? 0 : 1);
  }
  int status = 0;
  ::wait(&status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(log), "unfinished\r\ne\r\n");
}

// A full disk under a log that can only be appended to: room for the whole
// batch is taken first, so none of it gets in where nothing could be taken
// back. A small file system of the test's own is filled, where root may.
TEST(AppendLines, AFullDiskRefusesABatchWholeWhereNothingCouldBeTakenBack) {
  TempDir dir;
  if (::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP();
  const struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{dir.path()};
  const std::string log = dir / "t.log";
  WriteFile(log, "earlier\r\n");
  WriteFile(dir / "filler", std::string(40 << 10, 'x'));
  if (std::system(("chattr +a " + log + " 2>/dev/null").c_str()) != 0) GTEST_SKIP();
  EXPECT_EQ(AppendLines(log, std::string(32 << 10, 'y') + "\r\n").reason(),
            "ディスクの空き容量が足りません");
  EXPECT_EQ(std::system(("chattr -a " + log).c_str()), 0);
  EXPECT_EQ(ReadFile(log), "earlier\r\n");
}

// What the system calls would cut at the NUL is refused whole.
TEST(AppendLines, ANameWithANulIsNeverCutShort) {
  TempDir dir;
  const std::string cut = dir / "cut";
  EXPECT_FALSE(AppendLines(cut + std::string(1, '\0') + ".log", "x\r\n").ok());
  EXPECT_FALSE(std::filesystem::exists(cut));
  EXPECT_FALSE(Exists(cut + std::string(1, '\0')));
  EXPECT_FALSE(ItemFactsOf(dir.path() + std::string(1, '\0') + "x").has_value());
}

TEST(AppendLines, AProcessEndedMidWriteStillLeavesTheWholeBatch) {
  TempDir dir;
  const std::string log = dir / "t.log";
  // Large enough that the write can be caught under way.
  std::string batch;
  for (int i = 0; i < 500000; ++i) batch += std::string(98, 'x') + "\r\n";
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    WriteFile(log, "");
    const pid_t child = ::fork();
    if (child == 0) ::_exit(AppendLines(log, batch).ok() ? 0 : 1);
    // Until the write is under way; a child that never starts it fails the
    // size check below instead of hanging the test.
    struct stat st {};
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (::stat(log.c_str(), &st) == 0 && st.st_size == 0 &&
           std::chrono::steady_clock::now() < give_up) {
    }
    ::kill(child, signal);
    ::waitpid(child, nullptr, 0);
    ASSERT_EQ(::stat(log.c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::size_t>(st.st_size), batch.size()) << signal;
  }
}

TEST(ReadChunks, StopsWhenTheReaderHasHadEnough) {
  TempDir dir;
  WriteFile(dir / "big", std::string(std::size_t{8} << 20, 'x'));
  std::size_t pieces = 0;
  ASSERT_TRUE(ReadChunks(dir / "big", [&](std::string_view) { return ++pieces < 2; }).ok());
  EXPECT_EQ(pieces, 2u);
}

TEST(ReplaceFile, WritesInOneStepWhereTheFileLivesOrChangesNothing) {
  TempDir dir;
  ASSERT_TRUE(ReplaceFile(dir / "a/b/Tallyrun.ini", "two").ok());
  // Folders made for the user's settings are the user's alone.
  struct stat st {};
  ASSERT_EQ(::stat((dir / "a/b").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  ASSERT_EQ(::symlink("a/b/Tallyrun.ini", (dir / "link.ini").c_str()), 0);
  ASSERT_TRUE(ReplaceFile(dir / "link.ini", "three").ok());
  EXPECT_EQ(std::filesystem::read_symlink(dir / "link.ini"), "a/b/Tallyrun.ini");
  EXPECT_EQ(ReadFile(dir / "a/b/Tallyrun.ini"), "three");
  EXPECT_EQ(Count(dir / "a/b"), 1);

  // A folder or a FIFO where the file should be, a place even root cannot
  // write, a name cut short by a NUL.
  ::mkdir((dir / "folder").c_str(), 0755);
  ::mkfifo((dir / "fifo").c_str(), 0644);
  for (const std::string& bad : {std::string(), dir / "folder", dir / "fifo",
                                 std::string("/proc/self/t.ini"), dir / "link.ini" + '\0'})
    EXPECT_FALSE(ReplaceFile(bad, "new").ok()) << bad;
  EXPECT_EQ(Count(dir / "folder"), 0);
}

TEST(ToLocalTime, AYearNoDateCanShowGivesNoneInsteadOfOverflowing) {
  EXPECT_EQ(ToLocalTime(std::numeric_limits<std::time_t>::max()), LocalTime{});
  EXPECT_EQ(ToLocalTime(std::time_t{1} << 46), LocalTime{});
  EXPECT_EQ(ToLocalTime(0).year / 10, 197);
}

// It knows the very characters of the core's own table of CP932, and the
// user-defined ones (lead bytes F0 to F9) besides.
TEST(Cp932ToUtf8, MarksBadBytesAndAgreesWithTheCoresTable) {
  EXPECT_EQ(Cp932ToUtf8("a\xA0z\x83"), "a\uFFFDz\uFFFD");
  for (unsigned pair = 0x8140; pair <= 0xFCFF; ++pair) {
    const std::string bytes = {static_cast<char>(pair >> 8), static_cast<char>(pair)};
    const bool known = Cp932ToUtf8(bytes).find("\uFFFD") == std::string::npos;
    ASSERT_EQ(IsValidCp932(bytes), known && ((pair >> 8) < 0xF0 || (pair >> 8) > 0xF9)) << pair;
  }
}

TEST(ParseMountInfo, OffersEachStorageMountOnceWithItsEscapesDecoded) {
  // Left out: kernel and system trees, runtime state in memory, package
  // images, and lines that do not parse.
  const std::string text =
      "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
      "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
      "32 31 0:29 / /run/user/1000 rw - tmpfs tmpfs rw\n"
      "33 27 0:30 / /tmp rw - tmpfs tmpfs rw\n"
      "34 27 8:1 / /media/user/USB\\040STICK rw shared:7 master:3 - vfat /dev/sdb1 rw\n"
      "35 27 8:2 / /mnt/tab\\011and\\134slash rw - ext4 /dev/sdc1 rw\n"
      "36 27 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
      "37 31 8:3 / /run/media/user/DISK rw - exfat /dev/sdd1 rw\n"
      "38 27 8:4 / /home rw - ext4 /dev/vda2 rw\n"
      "39 38 8:5 / /home rw - btrfs /dev/vda3 rw\n"
      "44 27 0:48 / /mnt/no-separator rw ext4 /dev/x rw\n"
      "46 27 0:50 / /mnt/bad\\09 rw - ext4 /dev/z rw\n"
      "47 27 0:51 / /srv rw - xfs /dev/w rw";
  std::string offered;
  for (const Mount& mount : ParseMountInfo(text)) offered += mount.point + " " + mount.type + "\n";
  EXPECT_EQ(offered,
            "/ ext4\n/home btrfs\n/media/user/USB STICK vfat\n/mnt/tab\tand\\slash ext4\n"
            "/run/media/user/DISK exfat\n/srv xfs\n/tmp tmpfs\n");
}

TEST(MountHolding, IsTheLongestMountPointOnThePathsOwnFolders) {
  // This process's own mounts are real folders, and one of them holds it.
  const std::vector<Mount> system = MountedFileSystems();
  for (const Mount& mount : system)
    EXPECT_TRUE(std::filesystem::is_directory(mount.point)) << mount.point;
  EXPECT_TRUE(MountHolding(system, CurrentDirectory()).has_value());

  const std::vector<Mount> mounts = {{"/", "ext4"}, {"/home", "ext4"}, {"/home/user/data", "xfs"}};
  const std::pair<const char*, std::size_t> rows[] = {
      {"/homework", 0}, {"/home", 1}, {"/home/user/database", 1}, {"/home/user/data/2002", 2}};
  for (const auto& [path, holder] : rows) EXPECT_EQ(MountHolding(mounts, path), holder) << path;
  EXPECT_FALSE(MountHolding({{"/home", "ext4"}}, "/tmp").has_value());
}

}  // namespace
}  // namespace tallyrun::platform
