// Rules that only POSIX shows: what a copy keeps (permission bits, owner and
// group), a source whose size reads other than what it holds, FIFOs.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"
#include "repair/FileSafety.h"
#include "repair/RepairTexts.h"
#include "support/TestFolder.h"

namespace {

TEST(Files, CopyKeepsPermissionBitsOwnerAndGroupWhateverTheUmask) {
  TTestFolder folder;
  WriteTextFile(folder / "VYR.FDB", "database");
  ASSERT_EQ(::chmod((folder / "VYR.FDB").c_str(), 0660), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown((folder / "VYR.FDB").c_str(), 4242, 4343), 0);
  }
  const mode_t previous = ::umask(027);
  auto failure = platform::CopyFile(folder / "VYR.FDB", folder / "VYR_LUU.FDB");
  ::umask(previous);
  ASSERT_FALSE(failure) << failure->Text;
  struct stat copy {};
  ASSERT_EQ(::stat((folder / "VYR_LUU.FDB").c_str(), &copy), 0);
  EXPECT_EQ(copy.st_mode & 07777, 0660u);
  if (root) {
    EXPECT_EQ(copy.st_uid, 4242u);
    EXPECT_EQ(copy.st_gid, 4343u);
  }
}


// A copy that ends without an error yet does not match the database's size
// is refused. Here the database is a kernel file bound over VYR.FDB: a
// regular file whose size reads 0 while the copy gets every byte it holds.
TEST(FileSafety, ACopyWhoseSizeDiffersFromTheDatabaseIsNoSafetyCopy) {
  TTestFolder folder;
  MakeFolders(folder / "DATA");
  const auto paths = TInstallPaths::FromFolderText(folder.Path());
  WriteTextFile(paths.Database, "");
  if (::mount("/proc/version", paths.Database.c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "cannot bind a file here (needs root)";
  const std::size_t held = ReadFileBytes(paths.Database).size();
  const auto refusal = TakeSafetyCopy(paths);
  ::umount2(paths.Database.c_str(), MNT_DETACH);
  ASSERT_GT(held, 0u);
  EXPECT_EQ(refusal, texts::SafetyCopyIncomplete(held, 0));
}

// A FIFO, a link or a folder where the database should be is never read or
// followed: opening a FIFO would wait for a writer for ever.
TEST(FileSafety, TheRepairFilesMustBeRegularFilesAndAreLookedAtWithoutBlocking) {
  TTestFolder folder;
  MakeFolders(folder / "DATA");
  const auto paths = TInstallPaths::FromFolderText(folder.Path());
  ASSERT_EQ(::mkfifo(paths.Database.c_str(), 0600), 0);
  EXPECT_EQ(CheckRepairFiles(paths), texts::NotARegularFile(paths.Database));
  EXPECT_TRUE(TakeSafetyCopy(paths));
  EXPECT_FALSE(platform::IsFileInUse(paths.Database));
  EXPECT_FALSE(platform::FileChecksum(paths.Database));
  EXPECT_FALSE(platform::ReadWholeFile(paths.Database));
  EXPECT_FALSE(platform::FileExists(paths.SafetyCopy));
}

}  // namespace
