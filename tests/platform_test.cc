#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/code_page.h"
#include "platform/files.h"
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
  for (const std::string& bad : {std::string(), dir.path(), dir / "missing/t.log", fifo,
                                 std::string("/dev/full"), std::string("/proc/version")}) {
    const Status status = AppendLines(bad, "x\r\n");
    EXPECT_FALSE(status.ok()) << bad;
    EXPECT_FALSE(status.reason().empty()) << bad;
  }
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

TEST(ReplaceFile, WritesInOneStepCreatingFoldersAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string path = dir / "a/b/Tallyrun.ini";
  ASSERT_TRUE(ReplaceFile(path, "one").ok());
  ASSERT_TRUE(ReplaceFile(path, "two").ok());
  EXPECT_EQ(ReadFile(path), "two");
  int count = 0;
  for (auto& e : std::filesystem::directory_iterator(dir / "a/b")) count += e.is_regular_file();
  EXPECT_EQ(count, 1);
  EXPECT_FALSE(ReplaceFile("", "x").ok());
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

}  // namespace
}  // namespace tallyrun::platform
