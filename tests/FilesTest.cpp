#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/Files.h"
#include "support/TestFolder.h"

namespace {

TEST(Files, ExistsIsTrueForFilesOnly) {
  TTestFolder folder;
  WriteTextFile(folder / "a.txt", "x");
  EXPECT_TRUE(platform::FileExists(folder / "a.txt"));
  EXPECT_FALSE(platform::FileExists(folder.Path()));
  EXPECT_FALSE(platform::FileExists(folder / "missing"));
}

TEST(Files, CopyOverwritesTheTargetWithTheWholeSource) {
  TTestFolder folder("chỗ có dấu 'x'");
  const std::string big(300000, 'b');
  WriteTextFile(folder / "source", big);
  WriteTextFile(folder / "target", "old and longer than nothing");
  EXPECT_FALSE(platform::CopyFile(folder / "source", folder / "target"));
  EXPECT_EQ(ReadFileBytes(folder / "target"), big);
  EXPECT_EQ(platform::FileSize(folder / "target"), big.size());
}

TEST(Files, FailedCopyLeavesTheTargetAndNoTemporaryFile) {
  TTestFolder folder;
  WriteTextFile(folder / "target", "original");
  auto reason = platform::CopyFile(folder / "missing", folder / "target");
  ASSERT_TRUE(reason);
  EXPECT_FALSE(reason->empty());
  EXPECT_EQ(ReadFileBytes(folder / "target"), "original");

  WriteTextFile(folder / "source", "data");
  MakeFolders(folder / "dir");
  EXPECT_TRUE(platform::CopyFile(folder / "source", folder / "dir"));
  EXPECT_FALSE(platform::FileExists(folder / "dir.copying"));
}

TEST(Files, DeleteReportsWhatWentWrong) {
  TTestFolder folder;
  WriteTextFile(folder / "f", "x");
  EXPECT_FALSE(platform::DeleteFile(folder / "f"));
  EXPECT_FALSE(platform::FileExists(folder / "f"));
  EXPECT_TRUE(platform::DeleteFile(folder / "f"));
}

TEST(Files, InUseWhileAnotherHolderHasAnExclusiveLock) {
  TTestFolder folder;
  WriteTextFile(folder / "db", "x");
  EXPECT_FALSE(platform::IsFileInUse(folder / "db"));
  int holder = ::open((folder / "db").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_TRUE(platform::IsFileInUse(folder / "db"));
  ::close(holder);
  EXPECT_FALSE(platform::IsFileInUse(folder / "db"));
}

TEST(Files, ProgramFolderEndsInASeparator) {
  const std::string folder = platform::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(platform::FolderOf("/a/b/c"), "/a/b/");
  EXPECT_EQ(platform::FolderOf("c"), "");
}

}  // namespace
