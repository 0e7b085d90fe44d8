#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "platform/Exception.h"
#include "platform/Files.h"
#include "repair/FileSafety.h"
#include "repair/InstallPaths.h"
#include "repair/RepairProcedure.h"
#include "repair/RepairMarker.h"
#include "repair/RepairTexts.h"
#include "repair/ToolCommands.h"
#include "support/FirebirdTools.h"
#include "support/ProcedureRun.h"
#include "support/RecordingHost.h"
#include "support/SmallFileSystem.h"
#include "support/TestFolder.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

TEST(RepairProcedure, HealthyDatabaseRunsBothRealGfixPassesAndEveryStage) {
  for (const std::string name : {"VYR10", "Kế toán 'VYR' 10"}) {
    InstallFolder install(name);
    const std::string original = ReadFileBytes(install.Paths().Database);
    TRun run;
    run.Repair("  " + install.Root() + "  ");
    EXPECT_TRUE(run.host.Log.empty()) << name << ": " << (run.host.Log.empty() ? "" : run.host.Log[0]);
    EXPECT_EQ(run.host.Messages, Lines{texts::RepairDone}) << name;
    EXPECT_FALSE(platform::FileExists(install.Paths().RepairMarker)) << name;
    EXPECT_EQ(run.dataRepair.Runs, 1);
    EXPECT_EQ(run.rebuild.Runs, 1);
    EXPECT_GE(run.host.EventRounds, 2);
    EXPECT_EQ(ReadFileBytes(install.Paths().SafetyCopy), original) << name;
    EXPECT_TRUE(platform::FileExists(install.Paths().Database));
  }
}

TEST(RepairProcedure, GfixGetsEachPathAsOneArgumentAndItsOutputReachesTheLog) {
  InstallFolder install("VYR 10 'bản'", InstallFolder::Gfix::EchoArguments);
  TRun run;
  run.Repair(install.Root());
  const std::string db = "[" + install.Paths().Database + "]";
  EXPECT_EQ(run.host.Log, (Lines{"[-v]", "[-full]", "[-user]", "[SYSDBA]", "[-password]", "[quartzfin]", db,
                                 "[-mend]", "[-ig]", "[-user]", "[SYSDBA]", "[-password]", "[quartzfin]", db}));
}

TEST(RepairProcedure, RealGfixReportsADamagedFileInTheLog) {
  InstallFolder install;
  WriteTextFile(install.Paths().Database, std::string(8192, 'x'));
  TRun run;
  run.Repair(install.Root());
  EXPECT_FALSE(run.host.Log.empty());
  EXPECT_EQ(run.rebuild.Runs, 1);  // tools never raise: the procedure goes on
}

TEST(RepairProcedure, MissingToolsLogNothingAndTheProcedureGoesOn) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  TRun run;
  run.Repair(install.Root());
  EXPECT_TRUE(run.host.Log.empty());
  EXPECT_EQ(run.rebuild.Runs, 1);
}

TEST(RepairProcedure, MissingDatabaseShowsABoxMovesFocusAndTouchesNothing) {
  TTestFolder folder("VYR10");
  MakeFolders(folder / "DATA");
  TRun run;
  run.Repair(folder.Path());
  EXPECT_EQ(run.host.Messages, Lines{"File: " + folder.Path() + "DATA/VYR.FDB không có"});
  EXPECT_EQ(run.host.FocusMoves, 1);
  EXPECT_TRUE(run.host.Log.empty());
  EXPECT_EQ(run.dataRepair.Runs, 0);
  EXPECT_FALSE(platform::FileExists(folder / "DATA/VYR_LUU.FDB"));
}

TEST(RepairProcedure, AMissingFolderOrDataFolderIsNamedAsAFolder) {
  TTestFolder folder("VYR10");
  TRun run;
  EXPECT_EQ(run.Repair(folder / "KHONG_CO"), TRepairOutcome::Refused);
  EXPECT_EQ(run.Repair(folder.Path()), TRepairOutcome::Refused);
  EXPECT_EQ(run.host.Messages, (Lines{texts::FolderMissing(folder / "KHONG_CO/"), texts::FolderMissing(folder / "DATA/")}));
  EXPECT_EQ(run.dataRepair.Runs, 0);
}

TEST(RepairProcedure, AnOldSafetyCopyIsReplacedByTheCurrentDatabase) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  WriteTextFile(install.Paths().SafetyCopy, "stale copy from an earlier run");
  const std::string current = ReadFileBytes(install.Paths().Database);
  TRun run;
  run.Repair(install.Root());
  EXPECT_EQ(ReadFileBytes(install.Paths().SafetyCopy), current);
}

TEST(RepairProcedure, GuardLogsTheErrorAndPutsTheSafetyCopyBack) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const std::string original = ReadFileBytes(install.Paths().Database);
  TRun run([](const TInstallPaths& paths) {
    WriteTextFile(paths.Database, "half rebuilt");
    throw Exception("Lỗi: restore failed");
  });
  run.Repair(install.Root());
  const std::string asBefore = texts::DatabaseIsAsBefore(install.Paths().SafetyCopy);
  EXPECT_EQ(run.host.Log, (Lines{"Lỗi: restore failed", asBefore}));
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairFailedBox(asBefore)});  // after the last log line
  EXPECT_EQ(ReadFileBytes(install.Paths().Database), original);
  EXPECT_FALSE(platform::FileExists(install.Paths().RepairMarker));
}

TEST(RepairProcedure, ErrorInTheDataStageSkipsTheRebuild) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  TRun run;
  TScriptedStage failing([](const TInstallPaths&) { throw std::runtime_error("cannot attach"); });
  TRepairProcedure(run.host, &failing, &run.rebuild).Run(install.Root());
  EXPECT_EQ(run.host.Log, (Lines{"cannot attach", texts::DatabaseIsAsBefore(install.Paths().SafetyCopy)}));
  EXPECT_EQ(run.rebuild.Runs, 0);
}

TEST(RepairProcedure, FinalCheckRestoresAMissingDatabase) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const std::string original = ReadFileBytes(install.Paths().Database);
  TRun run([](const TInstallPaths& paths) { platform::DeleteFile(paths.Database); });
  run.Repair(install.Root());
  EXPECT_EQ(run.host.Log, (Lines{texts::RepairFailed, texts::DatabaseIsAsBefore(install.Paths().SafetyCopy)}));
  EXPECT_EQ(ReadFileBytes(install.Paths().Database), original);
}

TEST(RepairProcedure, AVanishedSafetyCopyIsNeverReplacedByDeletingTheDatabase) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const std::string original = ReadFileBytes(install.Paths().Database);
  TRun run([](const TInstallPaths& paths) {
    platform::DeleteFile(paths.SafetyCopy);
    throw Exception("boom");
  });
  run.Repair(install.Root());
  EXPECT_EQ(ReadFileBytes(install.Paths().Database), original);
  ASSERT_EQ(run.host.Log.size(), 3u);
  EXPECT_EQ(run.host.Log[0], "boom");
  EXPECT_EQ(run.host.Log[1].rfind(texts::CopyBackFailed(install.Paths().SafetyCopy, install.Paths().Database, ""), 0), 0u)
      << run.host.Log[1];
}

TEST(RepairProcedure, NoSafetyCopyMeansNoChange) {
  InstallFolder install("VYR10", InstallFolder::Gfix::EchoArguments);
  MakeFolders(install.Paths().SafetyCopy);  // a folder in the way: the copy cannot be taken
  const std::string original = ReadFileBytes(install.Paths().Database);
  TRun run;
  run.Repair(install.Root());
  EXPECT_TRUE(run.host.Log.empty());
  EXPECT_EQ(run.host.Messages, Lines{texts::NotARegularFile(install.Paths().SafetyCopy)});
  EXPECT_EQ(run.dataRepair.Runs, 0);
  EXPECT_EQ(run.rebuild.Runs, 0);
  EXPECT_EQ(ReadFileBytes(install.Paths().Database), original);
}

TEST(RepairProcedure, DatabaseOpenInAnotherFirebirdProcessIsNotTouched) {
  InstallFolder install("VYR10", InstallFolder::Gfix::EchoArguments);
  TRun run;
  {
    TAttachedSession session(install.Paths().Database);
    run.Repair(install.Root());
  }
  EXPECT_EQ(run.host.Messages, Lines{texts::DatabaseInUse(install.Paths().Database)});
  EXPECT_EQ(run.host.FocusMoves, 1);
  EXPECT_TRUE(run.host.Log.empty());
  EXPECT_FALSE(platform::FileExists(install.Paths().SafetyCopy));
}

// An install folder whose DATA is a small file system of numerator /
// denominator times the test database's size (plus extra bytes), holding it.
struct TSmallInstall {
  TTestFolder folder{"VYR10"};
  TInstallPaths paths = TInstallPaths::FromFolderText(folder.Path());
  TTestFolder scratch;
  std::uint64_t size = 0;
  std::unique_ptr<TSmallFileSystem> data;

  TSmallInstall(std::uint64_t numerator, std::uint64_t denominator, std::uint64_t extra = 0) {
    CreateTestDatabase(scratch / "VYR.FDB");
    size = *platform::FileSize(scratch / "VYR.FDB");
    data = std::make_unique<TSmallFileSystem>(paths.DataFolder, size * numerator / denominator + extra);
    if (Mounted()) platform::CopyFile(scratch / "VYR.FDB", paths.Database);
  }
  bool Mounted() const { return data->Mounted(); }
};

TEST(RepairProcedure, TooLittleDiskStopsBeforeAnythingIsCopied) {
  TSmallInstall install(3, 2);
  if (!install.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  const TInstallPaths& paths = install.paths;
  TRun run;
  run.Repair(install.folder.Path());
  ASSERT_EQ(run.host.Messages.size(), 1u);
  EXPECT_EQ(run.host.Messages[0].rfind("Không đủ chỗ trống trên đĩa để sửa dữ liệu: cần ", 0), 0u);
  EXPECT_TRUE(run.host.Log.empty());
  EXPECT_FALSE(platform::FileExists(paths.SafetyCopy));
  EXPECT_EQ(run.dataRepair.Runs, 0);
}

}  // namespace

namespace {

// The state a repair leaves when it is killed after the safety copy: the
// marker, the complete safety copy, and whatever is left of the database (a
// state the marker records), found by a run some minutes later.
void LeaveInterruptedRepair(const InstallFolder& install, const std::string* databaseLeft) {
  const auto paths = install.Paths();
  ASSERT_FALSE(platform::CopyFile(paths.Database, paths.SafetyCopy));
  if (databaseLeft == nullptr) platform::DeleteFile(paths.Database);
  else WriteTextFile(paths.Database, *databaseLeft);
  TRepairMarker marker;
  marker.SafetyCopySize = platform::FileSize(paths.SafetyCopy);
  marker.SafetyCopyChecksum = platform::FileChecksum(paths.SafetyCopy);
  marker.Phase = TRepairPhase::DataRepair;
  if (auto state = DatabaseStateOf(paths.Database)) marker.DatabaseStates.push_back(*state);
  ASSERT_FALSE(WriteRepairMarker(paths, marker));
  SetModificationTime(paths.RepairMarker, 600);
}

std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(prefix, 0) == 0) names.push_back(entry.path().string());
  return names;
}

TEST(InterruptedRepair, ARerunPutsTheOriginalBackKeepsTheBrokenFileAsideAndStops) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  const std::string original = ReadFileBytes(paths.Database);
  const std::string gutted = "a restore that was cut short";
  LeaveInterruptedRepair(install, &gutted);

  TRun rerun;
  rerun.Repair(install.Root());
  EXPECT_EQ(ReadFileBytes(paths.Database), original);
  EXPECT_EQ(ReadFileBytes(paths.SafetyCopy), original);
  EXPECT_FALSE(platform::FileExists(paths.RepairMarker));
  const auto aside = FilesStartingWith(paths.DataFolder, "VYR_HONG_");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadFileBytes(aside[0]), gutted);
  EXPECT_EQ(rerun.dataRepair.Runs, 0);
  const std::string stopped = texts::InterruptedRepairStopped(PhaseName(TRepairPhase::DataRepair));
  EXPECT_EQ(rerun.host.Log, (Lines{texts::InterruptedRepairFound, stopped, texts::BrokenDatabaseKeptAside(aside[0]),
                                   texts::InterruptedRepairUndone(paths.SafetyCopy)}));
  ASSERT_EQ(rerun.host.Messages.size(), 1u);
  EXPECT_EQ(rerun.host.Messages[0], texts::InterruptedRepairFound + "\r" + stopped + "\r" +
                                        texts::BrokenDatabaseKeptAside(aside[0]) + "\r" +
                                        texts::InterruptedRepairUndone(paths.SafetyCopy));

  TRun next;  // the next Accept repairs normally
  next.Repair(install.Root());
  EXPECT_EQ(next.dataRepair.Runs, 1);
  EXPECT_EQ(next.host.Messages, Lines{texts::RepairDone});
}

TEST(InterruptedRepair, ADeletedOrUntouchedDatabaseComesBackWithNothingSetAside) {
  for (bool deleted : {true, false}) {
    InstallFolder install("VYR10", InstallFolder::Gfix::None);
    const auto paths = install.Paths();
    const std::string original = ReadFileBytes(paths.Database);
    LeaveInterruptedRepair(install, deleted ? nullptr : &original);
    TRun rerun;
    rerun.Repair(install.Root());
    EXPECT_EQ(ReadFileBytes(paths.Database), original) << deleted;
    EXPECT_TRUE(FilesStartingWith(paths.DataFolder, "VYR_HONG_").empty()) << deleted;
    EXPECT_EQ(rerun.host.Log.back(), texts::InterruptedRepairUndone(paths.SafetyCopy));
    EXPECT_FALSE(platform::FileExists(paths.RepairMarker));
  }
}

TEST(InterruptedRepair, AnIncompleteSafetyCopyTouchesNothing) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  const std::string current = ReadFileBytes(paths.Database);
  LeaveInterruptedRepair(install, &current);
  WriteTextFile(paths.SafetyCopy, "cut");
  TRun rerun;
  rerun.Repair(install.Root());
  EXPECT_EQ(ReadFileBytes(paths.Database), current);
  EXPECT_EQ(ReadFileBytes(paths.SafetyCopy), "cut");
  EXPECT_TRUE(platform::FileExists(paths.RepairMarker));
  EXPECT_EQ(rerun.host.Log.back(), texts::SafetyCopyOfInterruptedRepairMissing(paths.SafetyCopy, paths.RepairMarker));
  EXPECT_EQ(rerun.dataRepair.Runs, 0);
}

TEST(RepairProcedure, LeftoversOfAnInterruptedCopyAreRemoved) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  WriteTextFile(platform::CopyTemporaryName(paths.SafetyCopy), "half a copy");
  WriteTextFile(platform::CopyTemporaryName(paths.Database), "half a copy-back");
  TRun run;
  run.Repair(install.Root());
  EXPECT_FALSE(platform::FileExists(platform::CopyTemporaryName(paths.SafetyCopy)));
  EXPECT_FALSE(platform::FileExists(platform::CopyTemporaryName(paths.Database)));
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairDone});
}

TEST(RepairProcedure, TheMarkerStandsWhileTheStagesRun) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  bool markerSeen = false;
  TRun run([&](const TInstallPaths& paths) { markerSeen = platform::FileExists(paths.RepairMarker); });
  run.Repair(install.Root());
  EXPECT_TRUE(markerSeen);
  EXPECT_FALSE(platform::FileExists(install.Paths().RepairMarker));
}

TEST(RepairProcedure, RoomForTheSafetyCopyAloneIsNotEnough) {
  TSmallInstall install(5, 2);  // the database, then one and a half times its size free
  if (!install.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  TRun run;
  run.Repair(install.folder.Path());
  ASSERT_EQ(run.host.Messages.size(), 1u);  // the copy and the backup need twice the size
  EXPECT_EQ(run.host.Messages[0].rfind("Không đủ chỗ trống trên đĩa để sửa dữ liệu: cần ", 0), 0u);
  EXPECT_FALSE(platform::FileExists(install.paths.SafetyCopy));
}

TEST(RepairProcedure, SpaceFreedOnlyLaterDoesNotCountForTheSafetyCopy) {
  TSmallInstall install(7, 2, 65536);
  if (!install.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  const TInstallPaths& paths = install.paths;
  const std::string oldBackup(2 * install.size, 'b');  // deleted only when gbak runs
  WriteTextFile(paths.Backup, oldBackup);
  TRun run;
  run.Repair(install.folder.Path());
  ASSERT_EQ(run.host.Messages.size(), 1u);
  EXPECT_EQ(run.host.Messages[0].rfind("Không đủ chỗ trống trên đĩa để sửa dữ liệu: cần ", 0), 0u);
  EXPECT_EQ(ReadFileBytes(paths.Backup), oldBackup);
  EXPECT_FALSE(platform::FileExists(paths.SafetyCopy));
  EXPECT_EQ(run.dataRepair.Runs, 0);
}

TEST(DiskFull, DuringTheSafetyCopyNothingChangesAndNoPartialCopyStays) {
  TSmallInstall install(3, 2);
  if (!install.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  const TInstallPaths& paths = install.paths;
  const std::string original = ReadFileBytes(paths.Database);
  auto reason = TakeSafetyCopy(paths);
  ASSERT_TRUE(reason);
  EXPECT_EQ(*reason, texts::SafetyCopyFailed(paths.SafetyCopy + ": đĩa đã hết chỗ trống"));
  EXPECT_EQ(ReadFileBytes(paths.Database), original);
  EXPECT_FALSE(platform::FileExists(paths.SafetyCopy));
  EXPECT_FALSE(platform::FileExists(platform::CopyTemporaryName(paths.SafetyCopy)));
}

}  // namespace
