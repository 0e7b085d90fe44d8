// A DATA folder that others use too: a second run at the same moment, a
// marker that is stale, copied or forged, and files in DATA that are not what
// they seem (links, FIFOs, folders), met by a run as root.
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileLock.h"
#include "platform/Files.h"
#include "repair/InterruptedRepair.h"
#include "repair/RepairMarker.h"
#include "repair/RepairTexts.h"
#include "support/ProcedureRun.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// The marker and safety copy a repair leaves when it is interrupted, written
// as the repair writes them; the database then holds the given bytes.
void LeaveInterruptedRepair(const TInstallPaths& paths, const std::string& databaseLeft) {
  ASSERT_FALSE(platform::CopyFile(paths.Database, paths.SafetyCopy));
  TRepairMarker marker;
  marker.SafetyCopySize = platform::FileSize(paths.SafetyCopy);
  marker.SafetyCopyChecksum = platform::FileChecksum(paths.SafetyCopy);
  marker.Phase = TRepairPhase::DataRepair;
  ASSERT_FALSE(WriteRepairMarker(paths, marker));
  WriteTextFile(paths.Database, databaseLeft);
}

void SetModificationTime(const std::string& path, std::int64_t secondsAgo) {
  const timespec when[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(::time(nullptr) - secondsAgo), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), when, AT_SYMLINK_NOFOLLOW), 0);
}

// The names in a folder, but for the lock file every run leaves.
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename() != "VYR_SUA.LCK") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RunLock, ASecondRunRefusesWhileTheFolderIsLockedAndTouchesNothing) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  LeaveInterruptedRepair(paths, "the first run's database, in the middle of its repair");
  const Lines before = NamesIn(paths.DataFolder);
  {
    platform::TFileLock first(paths.RunLock, platform::TFileOwnership{0, 0, 0600});
    ASSERT_EQ(first.State(), platform::TFileLock::TState::Taken);
    TRun second;
    second.Repair(install.Root());
    EXPECT_EQ(second.host.Messages, Lines{texts::FolderBeingRepaired(paths.DataFolder)});
    EXPECT_TRUE(second.host.Log.empty());  // the marker is not read as an interrupted repair
    EXPECT_EQ(second.host.FocusMoves, 1);
  }
  EXPECT_EQ(NamesIn(paths.DataFolder), before);
  EXPECT_EQ(ReadFileBytes(paths.Database), "the first run's database, in the middle of its repair");

  TRun afterwards;  // the lock goes with its holder
  afterwards.Repair(install.Root());
  EXPECT_EQ(afterwards.host.Log.front(), texts::InterruptedRepairFound);
}

TEST(RunLock, TheLockFileTakesTheDatabasesOwnerAndBitsAndAFolderWithoutADatabaseGetsNone) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  ASSERT_EQ(::chmod(paths.Database.c_str(), 0640), 0);
  TRun run;
  run.Repair(install.Root());
  struct stat lock {};
  ASSERT_EQ(::lstat(paths.RunLock.c_str(), &lock), 0);
  EXPECT_TRUE(S_ISREG(lock.st_mode));
  EXPECT_EQ(lock.st_mode & 07777, 0640u);

  TTestFolder empty("VYR10");
  MakeFolders(empty / "DATA");
  TRun nothing;
  nothing.Repair(empty.Path());
  EXPECT_EQ(nothing.host.Messages, Lines{texts::DatabaseMissing(empty / "DATA/VYR.FDB")});
  EXPECT_TRUE(NamesIn(empty / "DATA").empty());
}

TEST(StaleMarker, AMarkerOfACompletedRepairIsRemovedAndTheDatabaseRepairedNotReplaced) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  LeaveInterruptedRepair(paths, "");
  ASSERT_FALSE(platform::CopyFile(paths.SafetyCopy, paths.Database));
  auto marker = *ReadRepairMarker(paths);
  marker.Phase = TRepairPhase::Completed;
  ASSERT_FALSE(WriteRepairMarker(paths, marker));
  const std::string thisMonth = ReadFileBytes(paths.Database);

  TRun run([&](const TInstallPaths&) { EXPECT_EQ(ReadFileBytes(paths.Database), thisMonth); });
  run.Repair(install.Root());
  EXPECT_EQ(run.host.Log, Lines{texts::CompletedMarkerRemoved(paths.RepairMarker)});
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairDone});
  EXPECT_EQ(run.rebuild.Runs, 1);
}

TEST(StaleMarker, AMarkerAndSafetyCopyBroughtBackFromAnOldFileBackupNeverReplaceANewerDatabase) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  LeaveInterruptedRepair(paths, "this month's books");
  SetModificationTime(paths.RepairMarker, 30 * 24 * 3600);  // as the file backup kept it
  const Lines before = NamesIn(paths.DataFolder);

  TRun run;
  run.Repair(install.Root());
  EXPECT_EQ(ReadFileBytes(paths.Database), "this month's books");
  EXPECT_EQ(NamesIn(paths.DataFolder), before);
  ASSERT_EQ(run.host.Messages.size(), 1u);
  const std::string& box = run.host.Messages[0];
  EXPECT_NE(box.find("Cơ sở dữ liệu " + paths.Database + " được ghi lúc "), std::string::npos) << box;
  EXPECT_NE(box.find("không thay đổi gì"), std::string::npos) << box;
  EXPECT_EQ(run.dataRepair.Runs, 0);

  // The operator sets the newer file aside: the original comes back.
  ASSERT_FALSE(platform::RenameFile(paths.Database, paths.DataFolder + "VYR_THANG_NAY.FDB"));
  TRun undo;
  undo.Repair(install.Root());
  EXPECT_EQ(undo.host.Log.back(), texts::InterruptedRepairUndone(paths.SafetyCopy));
  EXPECT_EQ(ReadFileBytes(paths.Database), ReadFileBytes(paths.SafetyCopy));
}

TEST(StaleMarker, ASafetyCopyOfTheRightSizeButOtherContentIsNotTheMarkedOne) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  LeaveInterruptedRepair(paths, "the database");
  std::string other = ReadFileBytes(paths.SafetyCopy);
  other[other.size() / 2] ^= 0x5a;
  WriteTextFile(paths.SafetyCopy, other);

  TRun run;
  run.Repair(install.Root());
  EXPECT_EQ(ReadFileBytes(paths.Database), "the database");
  EXPECT_EQ(run.host.Log.back(), texts::SafetyCopyOfInterruptedRepairMissing(paths.SafetyCopy, paths.RepairMarker));
  EXPECT_TRUE(platform::FileExists(paths.RepairMarker));
}

TEST(StaleMarker, AFreshInterruptedRepairIsStillUndoneAndSaysWhereItStopped) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  const std::string original = ReadFileBytes(paths.Database);
  LeaveInterruptedRepair(paths, "half a repair");
  TRun run;
  run.Repair(install.Root());
  EXPECT_EQ(ReadFileBytes(paths.Database), original);
  ASSERT_GE(run.host.Log.size(), 2u);
  EXPECT_EQ(run.host.Log[1], texts::InterruptedRepairStopped(PhaseName(TRepairPhase::DataRepair)));
  EXPECT_EQ(run.host.Log.back(), texts::InterruptedRepairUndone(paths.SafetyCopy));
}

TEST(StaleMarker, AMarkerThatCannotBeRemovedIsMarkedCompletedAndNamedInTheDoneBox) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  // A stage that puts a folder beside the marker's name: the removal fails.
  TRun run([&](const TInstallPaths&) {
    ASSERT_FALSE(platform::DeleteFile(paths.RepairMarker));
    MakeFolders(paths.RepairMarker);
  });
  run.Repair(install.Root());
  ASSERT_EQ(run.host.Messages.size(), 1u);
  EXPECT_EQ(run.host.Messages[0].rfind(texts::RepairDone + "\rKhông xóa được file đánh dấu " + paths.RepairMarker, 0),
            0u)
      << run.host.Messages[0];
}

// Every file the repair creates, reads or deletes in DATA, as a link to a
// place outside the install folder (or as a FIFO): the run refuses before
// any change, names the file, and nothing appears or changes outside.
TEST(HostileFiles, LinksAndFifosInDataAreRefusedBeforeAnyChangeAndNothingOutsideIsTouched) {
  const std::vector<std::string> names = {"VYR.FDB",          "VYR_LUU.FDB",         "VYRBK.FBK",
                                          "VYR_DANGSUA.TXT",  "VYR_LUU.FDB.copying", "VYR_DANGSUA.TXT.copying",
                                          "VYR.FDB.copying",  "VYR_SUA.LCK"};
  for (const auto& name : names) {
    for (const bool fifo : {false, true}) {
      InstallFolder install("VYR10", InstallFolder::Gfix::None);
      const auto paths = install.Paths();
      TTestFolder outside;
      const std::string target = outside / "target";
      const std::string planted = paths.DataFolder + name;
      std::string original;
      if (name == "VYR.FDB") {
        original = ReadFileBytes(paths.Database);
        ASSERT_FALSE(platform::CopyFile(paths.Database, target));
        platform::DeleteFile(paths.Database);
      }
      if (fifo) {
        if (name != "VYR.FDB") ASSERT_EQ(::mkfifo(planted.c_str(), 0666), 0);
        else continue;
      } else {
        fs::create_symlink(target, planted);
      }
      const std::string database = ReadFileBytes(name == "VYR.FDB" ? target : paths.Database);
      TRun run;
      run.Repair(install.Root());
      const std::string what = name + (fifo ? " as a FIFO" : " as a link");
      ASSERT_EQ(run.host.Messages.size(), 1u) << what;
      EXPECT_NE(run.host.Messages[0].find(planted), std::string::npos) << what << ": " << run.host.Messages[0];
      EXPECT_EQ(run.rebuild.Runs, 0) << what;
      EXPECT_EQ(ReadFileBytes(name == "VYR.FDB" ? target : paths.Database), database) << what;
      EXPECT_EQ(NamesIn(outside.Path()), name == "VYR.FDB" ? Lines{"target"} : Lines{}) << what;
      EXPECT_EQ(platform::KindOfFile(planted), fifo ? platform::TFileKind::Special : platform::TFileKind::Link) << what;
    }
  }
}

TEST(HostileFiles, ARootTooLongForTheBackupsHeaderIsRefusedBeforeAnyChange) {
  TTestFolder base;
  std::string root = base.Path();
  while (root.size() < 243) root += std::string(std::min<std::size_t>(60, 243 - root.size() - 1), 'a') + "/";
  ASSERT_EQ(root.size(), 243u);
  MakeFolders(root + "DATA");
  CreateTestDatabase(root + "DATA/VYR.FDB");
  TRun run;
  run.Repair(root);
  const auto paths = TInstallPaths::FromFolderText(root);
  EXPECT_EQ(run.host.Messages, Lines{texts::DatabasePathTooLong(paths.Database, 255, 254)});
  EXPECT_FALSE(platform::FileExists(paths.SafetyCopy));
}

}  // namespace
