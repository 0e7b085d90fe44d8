// What a copy keeps on POSIX: permission bits, owner and group.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"
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

}  // namespace
