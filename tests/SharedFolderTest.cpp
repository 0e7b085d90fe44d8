// A DATA folder that others use too: a second run at the same moment, a
// marker that is stale, copied or forged, and files in DATA that are not what
// they seem (links, FIFOs, folders), met by a run as root.
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/FileLock.h"
#include "platform/Files.h"
#include "repair/InterruptedRepair.h"
#include "repair/RepairMarker.h"
#include "repair/RepairTexts.h"
#include "support/FirebirdTools.h"
#include "support/ProcedureRun.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

enum class TLeft { ByTheRepair, BySomeoneElse };

// The marker and safety copy a repair leaves when it is interrupted, written
// as the repair writes them, found ten minutes later; the database then
// holds the given bytes, a state the marker records or not.
void LeaveInterruptedRepair(const TInstallPaths& paths, const std::string& databaseLeft,
                            TLeft left = TLeft::ByTheRepair, TRepairPhase phase = TRepairPhase::DataRepair) {
  ASSERT_FALSE(platform::CopyFile(paths.Database, paths.SafetyCopy));
  TRepairMarker marker;
  marker.SafetyCopySize = platform::FileSize(paths.SafetyCopy);
  marker.SafetyCopyChecksum = platform::FileChecksum(paths.SafetyCopy);
  marker.Phase = phase;
  WriteTextFile(paths.Database, databaseLeft);
  if (left == TLeft::ByTheRepair) marker.DatabaseStates.push_back(*DatabaseStateOf(paths.Database));
  ASSERT_FALSE(WriteRepairMarker(paths, marker));
  SetModificationTime(paths.RepairMarker, 600);
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
  LeaveInterruptedRepair(paths, "this month's books", TLeft::BySomeoneElse);
  SetModificationTime(paths.RepairMarker, 30 * 24 * 3600);  // as the file backup kept it
  const Lines before = NamesIn(paths.DataFolder);

  TRun run;
  run.Repair(install.Root());
  EXPECT_EQ(ReadFileBytes(paths.Database), "this month's books");
  EXPECT_EQ(NamesIn(paths.DataFolder), before);
  ASSERT_EQ(run.host.Messages.size(), 1u);
  const std::string& box = run.host.Messages[0];
  EXPECT_NE(box.find(texts::DatabaseMayHoldNewerWork(paths.Database, paths.SafetyCopy, paths.RepairMarker)),
            std::string::npos) << box;
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

TEST(StaleMarker, AnInterruptedRepairIsUndoneWhereTheDatabaseIsAStateItLeftAndSaysWhereItStopped) {
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

// File times come from two clocks: the repairing computer's stamps the
// marker, whoever writes the database stamps it. Whatever the times say,
// a database the repair did not leave is never replaced: not when the
// repairing computer's clock ran minutes ahead (the work done since looks
// older than the marker), not when a copy that keeps times put an older
// database back.
TEST(StaleMarker, NoFileTimeMakesWorkDoneAfterTheInterruptionLookLikeTheRepairs) {
  for (const std::int64_t databaseSecondsAgo : {3600, 900, -300}) {
    InstallFolder install("VYR10", InstallFolder::Gfix::None);
    const auto paths = install.Paths();
    LeaveInterruptedRepair(paths, "the repair's half-mended file");
    WriteTextFile(paths.Database, "the repair's half-mended file, and this afternoon's payroll");
    SetModificationTime(paths.Database, databaseSecondsAgo);
    TRun run;
    EXPECT_EQ(run.Repair(install.Root()), TRepairOutcome::Refused);
    EXPECT_EQ(ReadFileBytes(paths.Database), "the repair's half-mended file, and this afternoon's payroll");
    EXPECT_EQ(run.host.Log.back(), texts::DatabaseMayHoldNewerWork(paths.Database, paths.SafetyCopy, paths.RepairMarker))
        << databaseSecondsAgo;
    EXPECT_TRUE(platform::FileExists(paths.RepairMarker));
  }
}

// A restore cut short leaves a database shut down, or a file that is no
// database yet: the repair's own in the rebuild, where nobody can have
// worked in it; anywhere else it is not.
TEST(StaleMarker, ARestoreCutShortIsTheRepairsOwnOnlyInTheRebuild) {
  TTestFolder side;
  const std::string restoring = side / "restoring.fdb";
  CreateTestDatabase(restoring);
  ASSERT_EQ(std::system(("'" + GfixPath + "' -shut single -force 0 -user SYSDBA -password quartzfin '" + restoring + "'").c_str()), 0);
  struct TCase {
    TRepairPhase Phase;
    std::string Left;
  };
  for (const auto& [phase, left] : {TCase{TRepairPhase::Rebuild, ReadFileBytes(restoring)},
                                    TCase{TRepairPhase::DataRepair, ReadFileBytes(restoring)},
                                    TCase{TRepairPhase::Rebuild, std::string(100, '\0')},
                                    TCase{TRepairPhase::Gfix, std::string(100, '\0')}}) {
    InstallFolder install("VYR10", InstallFolder::Gfix::None);
    const auto paths = install.Paths();
    const std::string original = ReadFileBytes(paths.Database);
    LeaveInterruptedRepair(paths, left, TLeft::BySomeoneElse, phase);
    TRun run;
    run.Repair(install.Root());
    if (phase == TRepairPhase::Rebuild) {
      EXPECT_EQ(ReadFileBytes(paths.Database), original);
      EXPECT_EQ(run.host.Log.back(), texts::InterruptedRepairUndone(paths.SafetyCopy));
    } else {
      EXPECT_EQ(ReadFileBytes(paths.Database), left);
      EXPECT_EQ(run.host.Log.back(), texts::DatabaseMayHoldNewerWork(paths.Database, paths.SafetyCopy, paths.RepairMarker));
    }
  }
}

// On a share whose locks may hold on one computer only, a marker refreshed
// within the last minute, or one that gets refreshed while the run watches
// it, is a live run's on another computer: nothing is changed. Where the
// lock can tell, a marker found under it is a dead run's, however fresh.
TEST(RunLock, AMarkerALiveRunRefreshesRefusesWhereTheLockCannotTell) {
  InstallFolder install("VYR10", InstallFolder::Gfix::None);
  const auto paths = install.Paths();
  LeaveInterruptedRepair(paths, "the other computer's run, in the middle of its repair");
  const Lines before = NamesIn(paths.DataFolder);
  SetModificationTime(paths.RepairMarker, 10);
  TRun fresh;
  fresh.locksMayBeHostLocal = true;
  EXPECT_EQ(fresh.Repair(install.Root()), TRepairOutcome::Refused);
  EXPECT_EQ(fresh.host.Messages, Lines{texts::MarkerOfALiveRun(paths.DataFolder)});

  SetModificationTime(paths.RepairMarker, -120);  // the other computer's clock runs ahead
  TRun ahead;
  ahead.locksMayBeHostLocal = true;
  EXPECT_EQ(ahead.Repair(install.Root()), TRepairOutcome::Refused);

  SetModificationTime(paths.RepairMarker, 600);  // its clock runs behind: only a refresh tells
  TRun watching;
  watching.locksMayBeHostLocal = true;
  watching.liveMarkerWatchSeconds = 30;
  std::thread otherComputer([&] {
    while (watching.host.LinesLogged == 0) std::this_thread::yield();
    SetModificationTime(paths.RepairMarker, 590);
  });
  EXPECT_EQ(watching.Repair(install.Root()), TRepairOutcome::Refused);
  otherComputer.join();
  EXPECT_EQ(watching.host.Log, Lines{texts::WatchingForALiveRun(paths.RepairMarker)});
  EXPECT_EQ(watching.host.Messages, Lines{texts::MarkerOfALiveRun(paths.DataFolder)});
  EXPECT_EQ(NamesIn(paths.DataFolder), before);

  SetModificationTime(paths.RepairMarker, 600);  // nobody refreshes it: the run died
  TRun undo;
  undo.locksMayBeHostLocal = true;
  EXPECT_EQ(undo.Repair(install.Root()), TRepairOutcome::FailedAsBefore);
  EXPECT_EQ(undo.host.Log.back(), texts::InterruptedRepairUndone(paths.SafetyCopy));

  LeaveInterruptedRepair(paths, "a run killed a moment ago");
  SetModificationTime(paths.RepairMarker, 5);
  TRun local;
  local.locksMayBeHostLocal = false;
  EXPECT_EQ(local.Repair(install.Root()), TRepairOutcome::FailedAsBefore);
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
