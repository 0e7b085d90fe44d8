// Rules that only POSIX shows: what a copy keeps (permission bits, owner and
// group), and a source whose size reads other than what it holds.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>
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
// is refused. Here the database is a pipe: its size reads 0, while the copy
// gets every byte written into it.
TEST(FileSafety, ACopyWhoseSizeDiffersFromTheDatabaseIsNoSafetyCopy) {
  TTestFolder folder;
  MakeFolders(folder / "DATA");
  const auto paths = TInstallPaths::FromFolderText(folder.Path());
  ASSERT_EQ(::mkfifo(paths.Database.c_str(), 0600), 0);
  std::thread writer([&] { WriteTextFile(paths.Database, std::string(5000, 'x')); });
  const auto refusal = TakeSafetyCopy(paths);
  writer.join();
  EXPECT_EQ(refusal, texts::SafetyCopyIncomplete(5000, 0));
}

}  // namespace
