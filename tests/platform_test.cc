#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/mounts.h"
#include "tests/test_support.h"

namespace tallyrun::platform {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(AppendLines, CreatesTheLogAndStartsANewLineAfterAnUnfinishedOne) {
  TempDir dir;
  const std::string log = dir / "t.log";
  ASSERT_TRUE(AppendLines(log, "a\r\n").ok());
  ASSERT_TRUE(AppendLines(log, "b\r\nc\r\n").ok());
  EXPECT_EQ(ReadFile(log), "a\r\nb\r\nc\r\n");
  WriteFile(log, "unfinished");
  ASSERT_TRUE(AppendLines(log, "d\r\n").ok());
  EXPECT_EQ(ReadFile(log), "unfinished\r\nd\r\n");
}

TEST(AppendLines, RefusesAtOnceWhatIsNotARegularFileInAWritablePlace) {
  TempDir dir;
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const std::string cut = dir / "cut";
  for (const std::string& bad :
       {std::string(), dir.path(), dir / "missing/t.log", fifo, std::string("/dev/full"),
        std::string("/proc/version"), cut + std::string(1, '\0') + ".log"}) {
    const Status status = AppendLines(bad, "x\r\n");
    EXPECT_FALSE(status.ok()) << bad;
    EXPECT_FALSE(status.reason().empty()) << bad;
    const bool readable = bad == "/proc/version";
    EXPECT_EQ(ReadChunks(bad, [](std::string_view) { return true; }).ok(), readable) << bad;
  }
  EXPECT_FALSE(testing::FileExists(cut)) << "a name is never cut at a NUL";
  EXPECT_FALSE(Exists(cut + std::string(1, '\0')));
  EXPECT_FALSE(ItemStatusOf(dir.path() + std::string(1, '\0') + "x").has_value());
}

TEST(AppendLines, ConcurrentWritersNeverTearOrLoseLines) {
  TempDir dir;
  const std::string log = dir / "t.log";
  constexpr int kWriters = 8;
  constexpr int kBatches = 200;
  for (int w = 0; w < kWriters; ++w) {
    if (::fork() == 0) {
      for (int b = 0; b < kBatches; ++b) {
        const std::string line = "writer " + std::to_string(w) + " batch " + std::to_string(b) +
                                 std::string(200, 'x') + "\r\n";
        if (!AppendLines(log, line + line).ok()) ::_exit(1);
      }
      ::_exit(0);
    }
  }
  for (int w = 0; w < kWriters; ++w) {
    int status = 0;
    ::wait(&status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::string text = ReadFile(log);
  std::size_t lines = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    ASSERT_EQ(text.compare(at, 7, "writer "), 0);
    ASSERT_EQ(text.compare(end - 200, 200, std::string(200, 'x')), 0);
    at = end + 2;
    ++lines;
  }
  EXPECT_EQ(lines, std::size_t{kWriters * kBatches * 2});
}

TEST(AppendLines, AProcessEndedMidWriteStillLeavesTheWholeBatch) {
  TempDir dir;
  const std::string log = dir / "t.log";
  // Large enough that the write takes a while and can be caught under way.
  std::string batch;
  for (int i = 0; i < 500000; ++i) batch += std::string(98, 'x') + "\r\n";
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    WriteFile(log, "");
    const pid_t child = ::fork();
    if (child == 0) ::_exit(AppendLines(log, batch).ok() ? 0 : 1);
    struct stat st {};
    while (::stat(log.c_str(), &st) == 0 && st.st_size == 0) {
    }
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_EQ(::stat(log.c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::size_t>(st.st_size), batch.size()) << signal;
  }
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReplaceFile, WritesInOneStepCreatingFoldersAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir / "a/b/Tallyrun.ini";
  ASSERT_TRUE(ReplaceFile(path, "one").ok());
  ASSERT_TRUE(ReplaceFile(path, "two").ok());
  EXPECT_EQ(ReadFile(path), "two");
  EXPECT_EQ(Listing(dir / "a/b"), std::vector<std::string>{"Tallyrun.ini"});
  EXPECT_FALSE(ReplaceFile("", "x").ok());
}

TEST(ReplaceFile, APlaceThatCannotTakeTheFileChangesNothing) {
  TempDir dir;
  WriteFile(dir / "Tallyrun.ini", "old");
  // A folder or a FIFO where the file should be, a place even root cannot
  // write, a name cut short by a NUL.
  ::mkdir((dir / "folder").c_str(), 0755);
  ::mkfifo((dir / "fifo").c_str(), 0644);
  for (const std::string& bad : {dir / "folder", dir / "fifo", std::string("/proc/self/t.ini"),
                                 dir / "Tallyrun.ini" + std::string(1, '\0')}) {
    EXPECT_FALSE(ReplaceFile(bad, "new").ok()) << bad;
  }
  EXPECT_EQ(Listing(dir.path()), (std::vector<std::string>{"Tallyrun.ini", "fifo", "folder"}));
  EXPECT_TRUE(Listing(dir / "folder").empty());
  EXPECT_EQ(ReadFile(dir / "Tallyrun.ini"), "old");
}

TEST(ReplaceFile, ALinkedFileIsReplacedWhereItLives) {
  TempDir dir;
  ::mkdir((dir / "kept").c_str(), 0755);
  WriteFile(dir / "kept/Tallyrun.ini", "old");
  ASSERT_EQ(::symlink("kept/Tallyrun.ini", (dir / "Tallyrun.ini").c_str()), 0);
  ASSERT_TRUE(ReplaceFile(dir / "Tallyrun.ini", "new").ok());
  struct stat st;
  ASSERT_EQ(::lstat((dir / "Tallyrun.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(dir / "kept/Tallyrun.ini"), "new");
  EXPECT_EQ(Listing(dir / "kept"), std::vector<std::string>{"Tallyrun.ini"});
}

TEST(MakeParentFolders, CreatesEveryMissingFolderButNotTheItemItself) {
  TempDir dir;
  const std::string log = dir / "data/tallyrun/Tallyrun.log";
  ASSERT_TRUE(MakeParentFolders(log));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "data/tallyrun"));
  EXPECT_FALSE(Exists(log));
  EXPECT_TRUE(MakeParentFolders(log));
  ASSERT_TRUE(AppendLines(log, "a\r\n").ok());
  WriteFile(dir / "file", "x");
  EXPECT_FALSE(MakeParentFolders(dir / "file/sub/Tallyrun.log"));
}

TEST(ItemStatusOf, FoldersReadOnlyAndHiddenBitsFollowTheItem) {
  TempDir dir;
  const std::string plain = dir / "plain";
  const std::string locked = dir / "locked";
  const std::string hidden = dir / ".hidden";
  ::mkdir(plain.c_str(), 0755);
  ::mkdir(locked.c_str(), 0555);
  WriteFile(hidden, "");
  ASSERT_EQ(::symlink(plain.c_str(), (dir / "link").c_str()), 0);
  EXPECT_EQ(ItemStatusOf(plain)->attributes, kAttributeFolder);
  EXPECT_EQ(ItemStatusOf(plain + "/")->attributes, kAttributeFolder);
  EXPECT_EQ(ItemStatusOf(dir / "link")->attributes, kAttributeFolder);
  EXPECT_EQ(ItemStatusOf(locked)->attributes, kAttributeFolder | kAttributeReadOnly);
  EXPECT_EQ(ItemStatusOf(hidden)->attributes, kAttributeHidden);
  EXPECT_EQ(ItemStatusOf("/")->attributes, kAttributeFolder);
  EXPECT_FALSE(ItemStatusOf(dir / "missing").has_value());
}

TEST(Cp932ToUtf8, DecodesJapaneseAndMarksBadBytes) {
  EXPECT_EQ(Cp932ToUtf8("C:\\\x83\x65\x83\x58\x83\x67"), "C:\\テスト");
  EXPECT_EQ(Cp932ToUtf8("\x82\xA0\x81\x5F"), "あ\uFF3C");
  EXPECT_EQ(Cp932ToUtf8("a\xA0z\x83"), "a\uFFFDz\uFFFD");
}

TEST(ListFolder, OffersVisibleFoldersAndRegularFilesWithLinksFollowed) {
  TempDir dir;
  ::mkdir((dir / "sub").c_str(), 0755);
  ::mkdir((dir / ".hidden").c_str(), 0755);
  WriteFile(dir / "a.txt", "");
  WriteFile(dir / ".b.txt", "");
  ASSERT_EQ(::mkfifo((dir / "fifo.log").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("sub", (dir / "to-sub").c_str()), 0);
  ASSERT_EQ(::symlink("a.txt", (dir / "to-a.txt").c_str()), 0);
  ASSERT_EQ(::symlink("missing", (dir / "broken.log").c_str()), 0);

  std::optional<FolderListing> listing = ListFolder(dir.path());
  ASSERT_TRUE(listing.has_value());
  std::ranges::sort(listing->folders);
  std::ranges::sort(listing->files);
  EXPECT_EQ(listing->folders, (std::vector<std::string>{"sub", "to-sub"}));
  EXPECT_EQ(listing->files, (std::vector<std::string>{"a.txt", "to-a.txt"}));

  EXPECT_FALSE(ListFolder(dir / "missing").has_value());
  EXPECT_FALSE(ListFolder(dir / "a.txt").has_value());
  EXPECT_FALSE(ListFolder("").has_value());
}

TEST(ParseMountInfo, OffersEachStorageMountOnceWithItsEscapesDecoded) {
  const std::string text =
      "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
      "23 27 0:22 / /sys rw - sysfs sysfs rw\n"
      "24 27 0:6 / /dev rw - devtmpfs devtmpfs rw,mode=755\n"
      "25 24 0:23 / /dev/shm rw - tmpfs tmpfs rw\n"
      "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
      "31 27 0:28 / /run rw shared:5 - tmpfs tmpfs rw\n"
      "32 31 0:29 / /run/user/1000 rw - tmpfs tmpfs rw\n"
      "33 27 0:30 / /tmp rw - tmpfs tmpfs rw\n"
      "34 27 8:1 / /media/user/USB\\040STICK rw shared:7 master:3 - vfat /dev/sdb1 rw\n"
      "35 27 8:2 / /mnt/tab\\011and\\134slash rw - ext4 /dev/sdc1 rw\n"
      "36 27 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
      "37 31 8:3 / /run/media/user/DISK rw - exfat /dev/sdd1 rw\n"
      "38 27 8:4 / /home rw - ext4 /dev/vda2 rw\n"
      "39 38 8:5 / /home rw - btrfs /dev/vda3 rw\n"
      "40 22 0:44 / /proc/sys/fs/binfmt_misc rw - binfmt_misc binfmt_misc rw\n"
      "41 23 0:45 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
      "42 27 0:46 / /mnt/nfs rw - nfs4 server:/export rw\n"
      "43 27 0:47 / /mnt/cgroup rw - cgroup2 cgroup2 rw\n"
      "a broken line\n"
      "\n"
      "44 27 0:48 / /mnt/no-separator rw ext4 /dev/x rw\n"
      "45 27 0:49 / relative rw - ext4 /dev/y rw\n"
      "46 27 0:50 / /mnt/bad\\09 rw - ext4 /dev/z rw\n"
      "47 27 0:51 / /srv rw - xfs /dev/w rw";

  std::vector<std::pair<std::string, std::string>> offered;
  for (const Mount& mount : ParseMountInfo(text)) offered.emplace_back(mount.point, mount.type);
  EXPECT_EQ(offered, (std::vector<std::pair<std::string, std::string>>{
                         {"/", "ext4"},
                         {"/home", "btrfs"},
                         {"/media/user/USB STICK", "vfat"},
                         {"/mnt/nfs", "nfs4"},
                         {"/mnt/tab\tand\\slash", "ext4"},
                         {"/run/media/user/DISK", "exfat"},
                         {"/srv", "xfs"},
                         {"/tmp", "tmpfs"},
                     }));
  EXPECT_TRUE(ParseMountInfo("").empty());
}

TEST(MountHolding, IsTheLongestMountPointOnThePathsOwnFolders) {
  const std::vector<Mount> mounts = {{"/", "ext4"}, {"/home", "ext4"}, {"/home/user/data", "xfs"}};
  EXPECT_EQ(MountHolding(mounts, "/"), 0u);
  EXPECT_EQ(MountHolding(mounts, "/homework"), 0u);
  EXPECT_EQ(MountHolding(mounts, "/home"), 1u);
  EXPECT_EQ(MountHolding(mounts, "/home/user"), 1u);
  EXPECT_EQ(MountHolding(mounts, "/home/user/database"), 1u);
  EXPECT_EQ(MountHolding(mounts, "/home/user/data/2002"), 2u);
  EXPECT_FALSE(MountHolding({{"/home", "ext4"}}, "/tmp").has_value());
  EXPECT_FALSE(MountHolding({}, "/").has_value());
}

TEST(MountedFileSystems, OffersOnlyFoldersAndHoldsTheCurrentFolder) {
  const std::vector<Mount> mounts = MountedFileSystems();
  ASSERT_FALSE(mounts.empty());
  for (const Mount& mount : mounts) {
    EXPECT_TRUE(std::filesystem::is_directory(mount.point)) << mount.point;
    EXPECT_NE(mount.type, "proc") << mount.point;
    EXPECT_NE(mount.type, "sysfs") << mount.point;
  }
  EXPECT_TRUE(MountHolding(mounts, CurrentDirectory()).has_value());
}

}  // namespace
}  // namespace tallyrun::platform
