// The file rules around the original database, on plain files: the safety
// copy, putting it back, the checks before the first change, and the texts
// an operator reads about them.
#include <gtest/gtest.h>

#include "platform/Files.h"
#include "repair/FileSafety.h"
#include "repair/InstallPaths.h"
#include "repair/RepairTexts.h"
#include "support/FileHolder.h"
#include "support/TestFolder.h"

namespace {

// An install folder whose DATA holds a database file of known bytes.
struct TPlainInstall {
  TTestFolder folder{"Kế toán VYR 10"};
  TInstallPaths paths;
  std::string original = std::string(70000, 'd') + "end of the books";

  TPlainInstall() {
    MakeFolders(folder / "DATA");
    paths = TInstallPaths::FromFolderText(folder.Path());
    WriteTextFile(paths.Database, original);
  }
};

TEST(FileSafety, TheSafetyCopyReplacesAnOldOneAndHoldsEveryByte) {
  TPlainInstall install;
  WriteTextFile(install.paths.SafetyCopy, "an older, different copy");
  EXPECT_FALSE(TakeSafetyCopy(install.paths));
  EXPECT_EQ(ReadFileBytes(install.paths.SafetyCopy), install.original);
  EXPECT_EQ(ReadFileBytes(install.paths.Database), install.original);
  EXPECT_FALSE(platform::FileExists(platform::CopyTemporaryName(install.paths.SafetyCopy)));
}

TEST(FileSafety, TheCopyBackPutsTheOriginalInPlaceOfWhateverIsLeft) {
  TPlainInstall install;
  ASSERT_FALSE(TakeSafetyCopy(install.paths));
  const auto size = install.original.size();
  WriteTextFile(install.paths.Database, "half a rebuilt database");
  EXPECT_FALSE(PutSafetyCopyInPlace(install.paths, size));
  EXPECT_EQ(ReadFileBytes(install.paths.Database), install.original);

  platform::DeleteFile(install.paths.Database);
  EXPECT_FALSE(PutSafetyCopyInPlace(install.paths, size));
  EXPECT_EQ(ReadFileBytes(install.paths.Database), install.original);
}

TEST(FileSafety, ASafetyCopyOfTheWrongSizeIsNeverPutInPlace) {
  TPlainInstall install;
  ASSERT_FALSE(TakeSafetyCopy(install.paths));
  WriteTextFile(install.paths.Database, "the database as it is now");
  EXPECT_TRUE(PutSafetyCopyInPlace(install.paths, install.original.size() + 1));
  EXPECT_EQ(ReadFileBytes(install.paths.Database), "the database as it is now");
}

TEST(FileSafety, ADatabaseHeldByAnotherProcessIsRefusedBeforeAnyChange) {
  TPlainInstall install;
  {
    TFileHolder engine(install.paths.Database);
    EXPECT_EQ(CheckRepairCanStart(install.paths), texts::DatabaseInUse(install.paths.Database));
  }
  EXPECT_FALSE(CheckRepairCanStart(install.paths));
  EXPECT_FALSE(platform::FileExists(install.paths.SafetyCopy));
}

// A backup or a virus scanner reading the database: on Windows the file
// could not be replaced, and the operator is told which kind of program to
// wait for, not VYR or the server.
TEST(FileSafety, ADatabaseOpenForReadingIsRefusedOnlyWhereItBlocksReplacingIt) {
  TPlainInstall install;
  TFileHolder reader(install.paths.Database, TFileHolder::ForReading);
#ifdef _WIN32
  EXPECT_EQ(CheckRepairCanStart(install.paths), texts::DatabaseOpenForReading(install.paths.Database));
#else
  EXPECT_FALSE(CheckRepairCanStart(install.paths));
#endif
}

TEST(FileSafety, FreeSpaceIsKnownForTheDataFolder) {
  TPlainInstall install;
  const auto available = platform::FreeDiskSpace(install.paths.DataFolder);
  ASSERT_TRUE(available);
  EXPECT_GT(*available, install.original.size());
  EXPECT_FALSE(platform::FreeDiskSpace(install.folder / "no such folder" + platform::PathSeparator));
}

TEST(FileSafety, OnlyLeftoversOfAnInterruptedCopyAreRemoved) {
  TPlainInstall install;
  WriteTextFile(platform::CopyTemporaryName(install.paths.SafetyCopy), "half");
  WriteTextFile(platform::CopyTemporaryName(install.paths.Database), "half");
  RemoveCopyLeftovers(install.paths);
  EXPECT_FALSE(platform::FileExists(platform::CopyTemporaryName(install.paths.SafetyCopy)));
  EXPECT_FALSE(platform::FileExists(platform::CopyTemporaryName(install.paths.Database)));
  EXPECT_EQ(ReadFileBytes(install.paths.Database), install.original);
}

// A read-only attribute (Windows) or a file nobody may write (POSIX) on the
// database: refused before any change, the file named. On the repair's own
// files it never blocks a repair: an old safety copy and a leftover of an
// interrupted copy go whatever their attribute, and a copy never carries the
// read-only attribute over to the next run.
TEST(FileSafety, ReadOnlyFilesNeverBlockARepairTheOperatorMayRun) {
  TPlainInstall install;
  MakeReadOnly(install.paths.Database);
  EXPECT_EQ(CheckRepairCanStart(install.paths), texts::DatabaseReadOnly(install.paths.Database));
  EXPECT_FALSE(platform::FileExists(install.paths.SafetyCopy));

  TPlainInstall second;
  WriteTextFile(second.paths.SafetyCopy, "an old safety copy");
  WriteTextFile(platform::CopyTemporaryName(second.paths.SafetyCopy), "half a copy");
  MakeReadOnly(second.paths.SafetyCopy);
  MakeReadOnly(platform::CopyTemporaryName(second.paths.SafetyCopy));
  RemoveCopyLeftovers(second.paths);
  EXPECT_FALSE(platform::FileExists(platform::CopyTemporaryName(second.paths.SafetyCopy)));
  EXPECT_FALSE(TakeSafetyCopy(second.paths));
  EXPECT_EQ(ReadFileBytes(second.paths.SafetyCopy), second.original);
  EXPECT_FALSE(CheckRepairCanStart(second.paths));
#ifdef _WIN32
  MakeReadOnly(second.paths.SafetyCopy);
  WriteTextFile(second.paths.Database, "rebuilt");
  EXPECT_FALSE(PutSafetyCopyInPlace(second.paths, second.original.size()));
  EXPECT_FALSE(platform::IsReadOnlyFile(second.paths.Database)) << "the copy-back carries no read-only attribute";
  EXPECT_EQ(ReadFileBytes(second.paths.Database), second.original);
#endif
}

TEST(RepairTexts, DiskFiguresThatDifferAreNeverShownAlike) {
  EXPECT_EQ(texts::NotEnoughDiskSpace(3690987, 3649044),
            "Không đủ chỗ trống trên đĩa để sửa dữ liệu: cần 3.52 MB, còn trống 3.48 MB.");
  EXPECT_EQ(texts::NotEnoughDiskSpace(3690987, 3690900),
            "Không đủ chỗ trống trên đĩa để sửa dữ liệu: cần 3690987 byte, còn trống 3690900 byte.");
  EXPECT_EQ(texts::NotEnoughDiskSpace(2 * 1048576, 1048576),
            "Không đủ chỗ trống trên đĩa để sửa dữ liệu: cần 2.0 MB, còn trống 1.0 MB.");
}

TEST(RepairTexts, CommonSystemReasonsAreSaidInVietnamese) {
  using platform::TFileFailureKind;
  EXPECT_EQ(texts::Reason({TFileFailureKind::NoSpace, "No space left on device"}), "đĩa đã hết chỗ trống");
  EXPECT_EQ(texts::Reason({TFileFailureKind::ReadOnly, "Read-only file system"}), "đĩa chỉ cho phép đọc, không ghi được");
  EXPECT_EQ(texts::Reason({TFileFailureKind::Other, "Input/output error"}), "Input/output error");
}

}  // namespace
