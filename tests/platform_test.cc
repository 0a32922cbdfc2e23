// The platform layer on the real system, Linux's and Windows' alike where
// they promise the same: batches landing where they are told to and stamps
// that follow the file, reading in pieces, replacing a file in one step,
// names with a NUL, and what the chooser browses; then what each system does
// its own way.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/settings.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/system_env.h"
#include "tests/test_support.h"

#ifdef _WIN32
#include "platform/win32/item_facts.h"
#include "tests/win32_test_support.h"
// The Win32 macro of this name would rename the platform's own.
#undef ReplaceFile
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <limits>

#include "platform/clock.h"
#include "platform/file_manager.h"
#include "platform/posix/mounts.h"
#endif

namespace tallyrun::platform {
namespace {

using namespace tallyrun::testing;
using V = std::vector<std::string>;

std::string ReadFrom(const std::string& path, std::uint64_t from) {
  std::string read;
  EXPECT_TRUE(
      ReadChunks(path, from, [&](std::string_view p) { return read.append(p), true; }).ok());
  return read;
}

// After an unfinished line the batch starts on a line of its own; it goes in
// in the system's code page (CP932 on the tests' Windows), which may take
// fewer bytes than its UTF-8. Reading starts where asked and stops when the
// reader has had enough.
TEST(AppendLines, ABatchLandsWhereTheStampSaysAndIsReadBackFromThere) {
  TempDir dir;
  const std::string log = dir / "t.log";
  WriteFile(log, "unfinished");
  const std::optional<FileStamp> before = StampOf(log);
  Landed landed;
  ASSERT_TRUE(AppendLines(log, "日本語\r\n", &landed).ok());
  const std::string in_file = kDriveLetterPaths ? "\x93\xFA\x96\x7B\x8C\xEA\r\n" : "日本語\r\n";
  EXPECT_EQ(landed.offset, 12u);
  EXPECT_EQ(landed.size, in_file.size());
  const std::optional<FileStamp> after = StampOf(log);
  ASSERT_TRUE(before && after);
  EXPECT_TRUE(after->SameFile(*before));
  EXPECT_EQ(after->size, 12 + in_file.size());
  EXPECT_EQ(ReadFrom(log, landed.offset), in_file);

  ASSERT_TRUE(ReplaceFile(log, "new\r\n").ok());
  EXPECT_FALSE(StampOf(log)->SameFile(*before));
  EXPECT_FALSE(StampOf(dir.path()));
  EXPECT_FALSE(StampOf(dir / "gone"));

  WriteFile(log, std::string(std::size_t{8} << 20, 'x') + "end");
  std::size_t pieces = 0;
  ASSERT_TRUE(ReadChunks(log, 0, [&](std::string_view) { return ++pieces < 2; }).ok());
  EXPECT_EQ(pieces, 2u);
  EXPECT_EQ(ReadFrom(log, (std::size_t{8} << 20) - 1), "xend");
}

// What the system calls would cut at the NUL is refused whole; a link is
// written through.
TEST(ReplaceFile, MakesFoldersAndWritesInOneStepOrChangesNothingNotEvenCutAtANul) {
  TempDir dir;
  const std::string b = dir / "a" + kPathSeparator + "b", ini = b + kPathSeparator + "Tallyrun.ini";
  ASSERT_TRUE(ReplaceFile(ini, "two").ok());
  EXPECT_EQ(ReadFile(ini), "two");
  MakeFolder(dir / "folder");
  V bad = {std::string(), dir / "folder", dir / "a" + '\0'};
#ifndef _WIN32
  struct stat st {};  // the user's settings are the user's alone
  ASSERT_EQ(::stat(b.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::symlink("a/b/Tallyrun.ini", (dir / "link.ini").c_str()), 0);
  ASSERT_TRUE(ReplaceFile(dir / "link.ini", "three").ok());
  EXPECT_EQ(std::filesystem::read_symlink(dir / "link.ini"), "a/b/Tallyrun.ini");
  EXPECT_EQ(ReadFile(ini), "three");
  EXPECT_EQ(std::ranges::distance(std::filesystem::directory_iterator(b)), 1);
  // A FIFO where the file should be, a place even root cannot write.
  ::mkfifo((dir / "fifo").c_str(), 0644);
  bad.insert(bad.end(), {dir / "fifo", "/proc/self/t.ini"});
#endif
  for (const std::string& path : bad) EXPECT_FALSE(ReplaceFile(path, "new").ok()) << path;
  const std::string cut = dir / "cut";
  EXPECT_FALSE(AppendLines(cut + std::string(1, '\0') + ".log", "x\r\n").ok());
  EXPECT_FALSE(std::filesystem::exists(cut));
}

// Hidden items are left out as the system's file managers do.
TEST(Folders, ListOnlyWhatTheFileManagerShowsAndTheDrivesHoldTheRoot) {
  TempDir dir;
  const std::string dot = kDriveLetterPaths ? "" : ".";  // what hides a name on Linux
  for (const std::string& name : V{"a.log", "日本語.txt", dot + "h.log"}) WriteFile(dir / name, "");
  for (const std::string& name : V{"sub", dot + "hidden"}) MakeFolder(dir / name);
#ifdef _WIN32
  WriteFile(dir / "system.log", "");
  for (const auto& [name, attribute] : {std::pair{"h.log", FILE_ATTRIBUTE_HIDDEN},
                                        {"system.log", FILE_ATTRIBUTE_SYSTEM},
                                        {"hidden", FILE_ATTRIBUTE_HIDDEN}})
    ::SetFileAttributesW(testing::W(dir / name).c_str(), attribute);
  V files{"a.log", "日本語.txt"}, folders{"sub"};
  const std::string root = "c:\\";
#else
  // Links followed; no FIFO, no broken link.
  for (const auto& [target, link] :
       {std::pair{"a.log", "link.log"}, {"-", "bad.log"}, {"sub", "to-sub"}})
    std::filesystem::create_symlink(target, dir / link);
  ASSERT_EQ(::mkfifo((dir / "fifo.log").c_str(), 0644), 0);
  V files{"a.log", "link.log", "日本語.txt"}, folders{"sub", "to-sub"};
  const std::string root = "/";
  for (const Drive& drive : Drives()) EXPECT_TRUE(std::filesystem::is_directory(drive.root));
#endif
  std::optional<FolderListing> listing = ListFolder(dir.path());
  ASSERT_TRUE(listing);
  std::ranges::sort(listing->files);
  std::ranges::sort(listing->folders);
  EXPECT_EQ(listing->files, files);
  EXPECT_EQ(listing->folders, folders);
  EXPECT_FALSE(ListFolder(dir / "gone"));
  EXPECT_FALSE(ListFolder(dir / "a.log"));
  const std::vector<Drive> drives = Drives();
  EXPECT_NE(std::ranges::find(drives, root, &Drive::root), drives.end());
}

// A full disk: a batch that got in part of the way is taken back, or room
// for the whole batch is taken first. The file system is a small one of the
// test's own: the test script gives Windows one, Linux makes one where root
// may.
TEST(AppendLines, AFullDiskLeavesTheLogAsItWas) {
  TempDir dir;
#ifdef _WIN32
  wchar_t at[MAX_PATH];
  if (::GetEnvironmentVariableW(L"TALLYRUN_FULL_DISK", at, MAX_PATH) == 0) GTEST_SKIP();
  const std::string log = testing::U(at) + "\\t.log";
  WriteFile(log, "earlier\r\n");
  // Full but for the rest of the log's last block.
  std::ofstream filler(testing::Native(testing::U(at) + "\\filler"), std::ios::binary);
  while (filler.write(std::string(4096, 'x').data(), 4096) && filler.flush()) continue;
#else
  if (::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP();
  const struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{dir.path()};
  const std::string log = dir / "t.log";
  WriteFile(log, "earlier\r\n");
  WriteFile(dir / "filler", std::string(40 << 10, 'x'));
#endif
  EXPECT_EQ(AppendLines(log, std::string(32 << 10, 'y') + "\r\n").reason(),
            "ディスクの空き容量が足りません");
  EXPECT_EQ(ReadFile(log), "earlier\r\n");
}

#ifdef _WIN32

// Only the name written runs past 260 characters.
TEST(AppendLines, TakesALongPathWrittenWithSlashesAndDots) {
  TempDir dir;
  std::string folder = dir.path();
  while (folder.size() < 200) folder += "\\" + std::string(20, 'd');
  ASSERT_TRUE(MakeParentFolders(folder + "\\t.log"));
  ASSERT_TRUE(AppendLines(folder + "/" + std::string(60, 'x') + "/../t.log", "a\r\n").ok());
  EXPECT_EQ(ReadFile(folder + "\\t.log"), "a\r\n");
}

// Saved so that Windows' own profile functions read back the very path: in
// the system's code page where that holds it and it reads back from there
// (not ﾃＢ, which would read as Âa), else in UTF-16.
TEST(SaveLogFilePath, WritesWhatWindowsReadsBack) {
  TempDir dir;
  SystemEnv env;
  const SettingsLocation location{dir / "Tallyrun.ini", dir / "Tallyrun.log"};
  for (const auto& [name, utf16] :
       {std::pair{"ﾒｰﾙ１.log", false}, {"café☕.log", true}, {"ﾃＢ.log", true}}) {
    std::filesystem::remove(testing::W(location.settings_file));
    ASSERT_TRUE(SaveLogFilePath(env, location, dir / name, "").ok());
    wchar_t read[MAX_PATH];
    ::GetPrivateProfileStringW(L"Tallyrun", L"LogFile", L"", read, MAX_PATH,
                               testing::W(location.settings_file).c_str());
    EXPECT_EQ(testing::U(read), dir / name);
    EXPECT_EQ(ReadFile(location.settings_file).starts_with("\xFF\xFE"), utf16) << name;
  }
}

// Cloud files (kept on the device, online only) and ReFS set bits above the
// sixteen the rules read; a moment beyond any date still leaves an item.
TEST(ItemFactsFrom, ReadsTheSixteenAttributeBitsWhateverElseIsSet) {
  const FILETIME beyond_any_date{MAXDWORD, MAXDWORD};
  // clang-format off
  const std::pair<DWORD, std::uint32_t> rows[] = {
      {0x80000 | FILE_ATTRIBUTE_DIRECTORY, 16}, {0x8000 | FILE_ATTRIBUTE_DIRECTORY, 16},
      {0x400000 | 0x1000 | FILE_ATTRIBUTE_ARCHIVE, 0x1020}};
  // clang-format on
  for (const auto& [raw, read] : rows)
    EXPECT_EQ(ItemFactsFrom(raw, beyond_any_date).attributes, read) << raw;
}

#else

int Status(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Ended by a signal part way through a large batch, a recorder still leaves it whole.
TEST(AppendLines, AProcessEndedMidWriteStillLeavesTheWholeBatch) {
  TempDir dir;
  const std::string log = dir / "t.log";
  std::string batch;
  for (int i = 0; i < 500000; ++i) batch += std::string(98, 'x') + "\r\n";
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    WriteFile(log, "");
    const pid_t child = ::fork();
    if (child == 0) ::_exit(AppendLines(log, batch).ok() ? 0 : 1);
    // Once the write is under way; a child that never starts it fails below.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (StampOf(log)->size == 0 && std::chrono::steady_clock::now() < give_up) continue;
    ::kill(child, signal);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(StampOf(log)->size, batch.size()) << signal;
  }
}

TEST(ToLocalTime, AYearNoDateCanShowGivesNoneInsteadOfOverflowing) {
  EXPECT_EQ(ToLocalTime(std::numeric_limits<std::time_t>::max()), LocalTime{});
}

// Each writer learns where its own batch went while the others write too,
// and every batch, thousands of lines as it may be, lands whole in one piece.
TEST(AppendLines, TellsWhereEachBatchLandedWhileOthersAppendToo) {
  TempDir dir;
  const std::string log = dir / "t.log";
  // Lines of eight bytes, each batch's its own.
  const auto batch = [](int w, int i) {
    std::string lines;
    for (int k = 0; k < 2000; ++k) lines += std::to_string(w * 100000 + i * 2000 + k) + "\r\n";
    return lines;
  };
  const std::uint64_t size = 8 * 10 * 2000 * 8;
  std::vector<pid_t> writers;
  for (int w = 1; w <= 8; ++w) {
    writers.push_back(::fork());
    if (writers.back() != 0) continue;
    bool all = true;
    for (int i = 0; i < 10; ++i) {
      Landed landed;
      all = all && AppendLines(log, batch(w, i), &landed).ok() &&
            ReadFile(log).substr(landed.offset, landed.size) == batch(w, i);
    }
    ::_exit(all ? 0 : 1);
  }
  for (const pid_t child : writers) EXPECT_EQ(Status(child), 0);
  EXPECT_EQ(StampOf(log)->size, size);
  // A lock another program lets go of within the wait lets the batch in.
  const int held = ::open(log.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const pid_t waiting = ::fork();
  if (waiting == 0) ::_exit(::close(held) == 0 && AppendLines(log, "x\r\n").ok() ? 0 : 1);
  ::usleep(300'000);
  ::close(held);
  EXPECT_EQ(Status(waiting), 0);
  EXPECT_EQ(StampOf(log)->size, size + 3);
}

TEST(ParseMountInfo, OffersEachStorageMountOnceWithItsEscapesDecoded) {
  // Left out: kernel and system trees, runtime state in memory, package
  // images, and lines that do not parse.
  const std::string text =
      "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
      "32 31 0:29 / /run/user/1000 rw - tmpfs tmpfs rw\n"
      "33 27 0:30 / /tmp rw - tmpfs tmpfs rw\n"
      "34 27 8:1 / /media/USB\\040STICK\\011\\134 rw shared:7 master:3 - vfat /dev/sdb1 rw\n"
      "36 27 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
      "37 31 8:3 / /run/media/user/DISK rw - exfat /dev/sdd1 rw\n"
      "38 27 8:4 / /home rw - ext4 /dev/vda2 rw\n"
      "39 38 8:5 / /home rw - btrfs /dev/vda3 rw\n"
      "46 27 0:50 / /mnt/bad\\09 rw - ext4 /dev/z rw";
  std::string offered;
  for (const Mount& mount : ParseMountInfo(text)) offered += mount.point + " " + mount.type + "\n";
  EXPECT_EQ(offered,
            "/home btrfs\n/media/USB STICK\t\\ vfat\n/run/media/user/DISK exfat\n/tmp tmpfs\n");
}

#ifdef FAKE_FILE_MANAGER
// On the test's own session bus (ctest's platform_test_file_manager), with
// a fake xdg-open first on PATH.
TEST(FileManager, TheDesktopsFileManagerIsAskedOrElseXdgOpenOpensTheFolder) {
  if (std::getenv("TALLYRUN_PRIVATE_BUS") == nullptr) GTEST_SKIP() << "needs its own session bus";
  TempDir dir;
  const std::string opened = dir / "opened", asked = dir / "asked", sub = dir / "sub/";
  ASSERT_EQ(::mkdir((dir / "bin").c_str(), 0755), 0);
  WriteFile(dir / "bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$*\" >>'" + opened + "'\n");
  ASSERT_EQ(::chmod((dir / "bin/xdg-open").c_str(), 0755), 0);
  ::setenv("PATH", (dir / "bin:" + std::getenv("PATH")).c_str(), 1);
  // What the file holds once it has `count` lines, or after five seconds.
  const auto lines = [](const std::string& file, long count) {
    for (int wait = 0; wait < 500 && std::ranges::count(ReadFile(file), '\n') < count; ++wait)
      ::usleep(10'000);
    return ReadFile(file);
  };
  const std::string file = dir / "日本 語%,.txt", in_file = dir.path() + "\n" + sub + "\n";
  ShowInFileManager(file, false);
  EXPECT_EQ(lines(opened, 1), dir.path() + "\n");
  ShowInFileManager(sub, true);
  EXPECT_EQ(lines(opened, 2), in_file);

  const pid_t manager = ::fork();
  if (manager == 0) {
    ::execl(FAKE_FILE_MANAGER, FAKE_FILE_MANAGER, asked.c_str(), nullptr);
    ::_exit(127);
  }
  const std::string items = "ready\t\t\nShowItems\tfile://" + dir.path() +
                            "/%E6%97%A5%E6%9C%AC%20%E8%AA%9E%25%2C.txt\t\n";
  ASSERT_EQ(lines(asked, 1), "ready\t\t\n");
  ShowInFileManager(file, false);
  EXPECT_EQ(lines(asked, 2), items);
  ShowInFileManager(sub, true);
  EXPECT_EQ(lines(asked, 3), items + "ShowFolders\tfile://" + sub + "\t\n");
  ::kill(manager, SIGTERM);
  ::waitpid(manager, nullptr, 0);
  EXPECT_EQ(ReadFile(opened), in_file);
}
#endif

#endif

}  // namespace
}  // namespace tallyrun::platform
