#include <gtest/gtest.h>

#include <random>

#include "platform/Exception.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "platform/Library.h"
#include "platform/NativeNames.h"
#include "support/FileHolder.h"
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
  EXPECT_EQ(reason->Kind, platform::TFileFailureKind::NotFound);
  EXPECT_FALSE(reason->Text.empty());
  EXPECT_EQ(ReadFileBytes(folder / "target"), "original");

  WriteTextFile(folder / "source", "data");
  MakeFolders(folder / "dir");
  EXPECT_TRUE(platform::CopyFile(folder / "source", folder / "dir"));
  EXPECT_FALSE(platform::FileExists(folder / "dir.copying"));
}

TEST(Files, SameContentsComparesEveryByte) {
  TTestFolder folder;
  std::string bytes(200000, 'a');
  WriteTextFile(folder / "a", bytes);
  WriteTextFile(folder / "b", bytes);
  EXPECT_TRUE(platform::SameContents(folder / "a", folder / "b"));
  bytes[199999] = 'b';
  WriteTextFile(folder / "b", bytes);
  EXPECT_FALSE(platform::SameContents(folder / "a", folder / "b"));
  WriteTextFile(folder / "b", bytes.substr(0, 1000));
  EXPECT_FALSE(platform::SameContents(folder / "a", folder / "b"));
  EXPECT_FALSE(platform::SameContents(folder / "a", folder / "missing"));
}

TEST(Files, DurableWritesAndRenamesLeaveNoTemporaryFile) {
  TTestFolder folder;
  ASSERT_FALSE(platform::WriteFileDurably(folder / "marker", "first"));
  ASSERT_FALSE(platform::WriteFileDurably(folder / "marker", "second"));
  EXPECT_EQ(platform::ReadWholeFile(folder / "marker"), std::optional<std::string>("second"));
  EXPECT_FALSE(platform::FileExists(platform::CopyTemporaryName(folder / "marker")));
  ASSERT_FALSE(platform::RenameFile(folder / "marker", folder / "kept"));
  EXPECT_EQ(ReadFileBytes(folder / "kept"), "second");
  EXPECT_FALSE(platform::ReadWholeFile(folder / "marker"));
  EXPECT_FALSE(platform::SyncFile(folder / "kept"));
  EXPECT_FALSE(platform::SyncFolder(folder.Path()));
  EXPECT_TRUE(platform::SyncFile(folder / "marker"));
}

// A held run lock stays the file at its name: on Windows nobody may delete
// it while a run holds it; elsewhere a second lock on it is refused, and a
// lock file deleted afterwards is no longer the one a new run locks.
TEST(Files, AHeldRunLockStaysTheFileAtItsName) {
  TTestFolder folder;
  const std::string path = folder / "VYR_SUA.LCK";
  platform::TFileLock first(path, platform::TFileOwnership{0, 0, 0600});
  ASSERT_EQ(first.State(), platform::TFileLock::TState::Taken);
  EXPECT_EQ(platform::TFileLock(path, platform::TFileOwnership{0, 0, 0600}).State(),
            platform::TFileLock::TState::HeldElsewhere);
#ifdef _WIN32
  EXPECT_TRUE(platform::DeleteFile(path)) << "the held lock file was deleted";
  EXPECT_TRUE(platform::FileExists(path));
#endif
}

// The start of a file, at most as many bytes as asked.
TEST(Files, TheStartOfAFileIsReadUpToTheBytesAsked) {
  TTestFolder folder;
  WriteTextFile(folder / "f", "0123456789");
  EXPECT_EQ(platform::ReadFileStart(folder / "f", 4), std::optional<std::string>("0123"));
  EXPECT_EQ(platform::ReadFileStart(folder / "f", 100), std::optional<std::string>("0123456789"));
  EXPECT_FALSE(platform::ReadFileStart(folder / "missing", 4));
  EXPECT_FALSE(platform::OnNetworkFileSystem(folder.Path()));
}

TEST(Files, DeleteReportsWhatWentWrong) {
  TTestFolder folder;
  WriteTextFile(folder / "f", "x");
  EXPECT_FALSE(platform::DeleteFile(folder / "f"));
  EXPECT_FALSE(platform::FileExists(folder / "f"));
  EXPECT_TRUE(platform::DeleteFile(folder / "f"));
}

TEST(Files, InUseWhileAnotherProcessHoldsTheFileExclusively) {
  TTestFolder folder("Kế toán");
  WriteTextFile(folder / "VYR.FDB", "x");
  EXPECT_FALSE(platform::IsFileInUse(folder / "VYR.FDB"));
  {
    TFileHolder holder(folder / "VYR.FDB");
    EXPECT_TRUE(platform::IsFileInUse(folder / "VYR.FDB"));
  }
  EXPECT_FALSE(platform::IsFileInUse(folder / "VYR.FDB"));
  EXPECT_FALSE(platform::IsFileInUse(folder / "missing"));
}

// A reader keeps a file from being replaced on Windows, never on POSIX; an
// engine's hold is told from it.
TEST(Files, AReaderIsToldFromAWriter) {
  TTestFolder folder("Kế toán");
  WriteTextFile(folder / "VYR.FDB", "x");
  {
    TFileHolder engine(folder / "VYR.FDB");
    EXPECT_EQ(platform::FileUseByOthers(folder / "VYR.FDB"), platform::TFileUse::Written);
  }
  TFileHolder reader(folder / "VYR.FDB", TFileHolder::ForReading);
#ifdef _WIN32
  EXPECT_EQ(platform::FileUseByOthers(folder / "VYR.FDB"), platform::TFileUse::Read);
#else
  EXPECT_EQ(platform::FileUseByOthers(folder / "VYR.FDB"), platform::TFileUse::Free);
#endif
}

TEST(Files, ProgramFolderEndsInASeparator) {
  const std::string folder = platform::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), platform::PathSeparator);
  EXPECT_EQ(platform::FolderOf("/a/b/c"), "/a/b/");
  EXPECT_EQ(platform::FolderOf("c"), "");
}

}  // namespace

namespace {

#ifdef _WIN32
const char* const LibrarySuffix = ".dll";
#else
const char* const LibrarySuffix = ".so";
#endif

// A bare library name found in the program folder is loaded from there or
// not at all: a broken file there is not passed over for another of its name
// on the search path.
TEST(Libraries, ABrokenLibraryInTheProgramFolderIsAnErrorNotPassedOver) {
  const std::string name = "vyrprobe" + std::to_string(std::random_device()() % 1000000) + LibrarySuffix;
  const std::string onSearchPath = std::string(PROGRAM_FOLDER) + platform::PathSeparator + name;
  const std::string besideProgram = platform::ProgramFolder() + name;
  if (const auto failure = platform::CopyFile(FAKE_ENGINE_PATH, onSearchPath)) {
    if (failure->Kind == platform::TFileFailureKind::AccessDenied)
      GTEST_SKIP() << "this user may not write into the program folder " << PROGRAM_FOLDER;
    FAIL() << failure->Text;
  }
  WriteTextFile(besideProgram, "not a library");
  std::string message;
  try {
    platform::DynamicLibrary::Load(name);
  } catch (const Exception& error) {
    message = error.Message();
  }
  platform::DeleteFile(besideProgram);
  EXPECT_NE(message.find(besideProgram), std::string::npos) << message;
  EXPECT_NE(platform::DynamicLibrary::Load(name), nullptr);  // with the broken file gone, the search finds it
  platform::DeleteFile(onSearchPath);
}

}  // namespace
