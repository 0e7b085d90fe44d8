#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"
#include "repair/IndexRecovery.h"
#include "repair/RebuildStage.h"
#include "repair/RepairProcedure.h"
#include "repair/RepairTexts.h"
#include "support/FirebirdTools.h"
#include "support/LoadedLibrary.h"
#include "support/RecordingHost.h"
#include "support/TestFolder.h"
#include "tools/ScriptEngineComponent.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// The whole procedure with the real rebuild stage: Debian's gfix and gbak,
// the project's engine, the client library of the program folder.
struct TRebuildRun {
  TTestFolder folder{"VYR 10 'x'"};
  TInstallPaths paths = TInstallPaths::FromFolderText(folder.Path());
  TRecordingHost host;
  TScriptEngineComponent engine{ENGINE_PATH};
  TRebuildStage stage{host, engine, std::string(PROGRAM_FOLDER) + "/"};
  Lines progress;

  explicit TRebuildRun(bool withGbak = true) {
    MakeFolders(folder / "DATA");
    MakeFolders(folder / "fb/bin");
    fs::create_symlink(GfixPath, folder / "fb/bin/gfix");
    if (withGbak) fs::create_symlink(GbakPath, folder / "fb/bin/gbak");
    CreateTestDatabase(paths.Database);
    engine.OnBlockProgress = [this](const std::string& m, bool& go) { progress.push_back(m); };
    engine.OnScriptError = [this](const std::string&, const std::string& e, bool& go) { host.Log.push_back("Lỗi: " + e); };
  }
  void Repair() { TRepairProcedure(host, nullptr, &stage).Run(folder.Path()); }
};

TEST(RebuildStage, RebuildsTheDatabaseAndLeavesItsThreeFiles) {
  TRebuildRun run;
  run.Repair();
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairDone});
  EXPECT_TRUE(run.host.Log.empty()) << run.host.Log[0];
  EXPECT_GT(run.progress.size(), 10u);
  EXPECT_TRUE(platform::FileExists(run.paths.Database));
  EXPECT_TRUE(platform::FileExists(run.paths.Backup));
  EXPECT_TRUE(platform::FileExists(run.paths.SafetyCopy));
  EXPECT_NE(RunIsqlOn(run.paths.Database, "select 'rows=' || count(*) from T;\n")
                .find("rows=2"),
            std::string::npos);
}

// Run as root, the rebuild must not leave the Firebird user's database to
// root, nor the backup (the whole payroll) readable by everyone.
TEST(RebuildStage, TheRebuiltDatabaseAndTheBackupKeepTheOriginalsOwnerAndBits) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the database another owner";
  TRebuildRun run;
  ASSERT_EQ(::chown(run.paths.Database.c_str(), 4242, 4343), 0);
  ASSERT_EQ(::chmod(run.paths.Database.c_str(), 0640), 0);
  const mode_t previous = ::umask(0);
  run.Repair();
  ::umask(previous);
  ASSERT_EQ(run.host.Messages, Lines{texts::RepairDone});
  for (const auto& path : {run.paths.Database, run.paths.Backup, run.paths.SafetyCopy}) {
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0) << path;
    EXPECT_EQ(info.st_mode & 07777, 0640u) << path;
    EXPECT_EQ(info.st_uid, 4242u) << path;
    EXPECT_EQ(info.st_gid, 4343u) << path;
  }
}

// A restore that went well brings back what the backup held: an index that
// was off stays off. It is tried; one that still cannot be activated (its
// duplicates are no keys of the repair's tables) ends the run in the
// indexes-off box, never in "done".
TEST(RebuildStage, AnIndexOffInTheBackupIsTriedAndNamedWhenItStaysOff) {
  TRebuildRun run;
  TIndexRecovery recovery(run.host, std::string(PROGRAM_FOLDER) + "/", nullptr);
  TRebuildStage stage(run.host, run.engine, std::string(PROGRAM_FOLDER) + "/", &recovery);
  RunIsqlOn(run.paths.Database,
            "create unique index T_NAME on T (NAME);\ncreate index T_ID_NAME on T (ID, NAME);\ncommit;\n"
            "alter index T_NAME inactive;\nalter index T_ID_NAME inactive;\ncommit;\n"
            "insert into T values (3, 'hai');\ncommit;\n");
  EXPECT_EQ(TRepairProcedure(run.host, nullptr, &stage).Run(run.folder.Path()), TRepairOutcome::DoneIndexesOff)
      << ::testing::PrintToString(run.host.Log);
  const auto& log = run.host.Log;
  EXPECT_NE(std::find(log.begin(), log.end(), texts::RestoredWithIndexesInactive), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), texts::IndexActivated("T_ID_NAME", "T")), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), texts::IndexLeftOff("T_NAME", "T", {"NAME = hai (2 dòng)"})), log.end())
      << ::testing::PrintToString(log);
  ASSERT_EQ(run.host.Messages.size(), 1u);
  EXPECT_EQ(run.host.Messages[0], texts::RepairDoneIndexesOffBox({"T_NAME (T)"}, run.paths.SafetyCopy));
  EXPECT_EQ(recovery.IndexesLeftOff(), Lines{"T_NAME (T)"});

  // The next run starts with nothing left off.
  RunIsqlOn(run.paths.Database, "delete from T where ID = 3;\ncommit;\n");
  run.host.Messages.clear();
  EXPECT_EQ(TRepairProcedure(run.host, nullptr, &stage).Run(run.folder.Path()), TRepairOutcome::Done);
  EXPECT_TRUE(recovery.IndexesLeftOff().empty());
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairDone});
}

// gbak leaves a shut-down file with inactive indexes both when it could
// not activate them and when it gave up after the data, before the rest of
// the metadata. Only the first is finished by the recovery; the second is a
// failed restore, and the original goes back. The stand-in engine plays
// each restore's words and leaves such a file.
TEST(RebuildStage, OnlyARestoreThatSaysItLeftIndexesOffIsTakenForOne) {
  const std::string notOnline = "error:restore:The restored database is not online (it was left shut down)";
  const std::string indexesOnly =
      "progress:gbak:cannot commit index T_NAME|progress:gbak: ERROR:attempt to store duplicate value|"
      "progress:gbak: ERROR:    Problematic key value is (\"NAME\" = 'x')|progress:gbak:fixing views dbkey length|"
      "progress:gbak:Database is not online due to failure to activate one or more indices.|" + notOnline;
  const std::string gaveUp =
      "progress:gbak:cannot commit index T_NAME|progress:gbak: ERROR:attempt to store duplicate value|"
      "progress:gbak:creating procedures|progress:gbak: ERROR:Exiting before completion due to errors|" + notOnline;
  const std::string otherError =
      "progress:gbak: ERROR:action cancelled by trigger (1) to preserve data integrity|"
      "progress:gbak:Database is not online due to failure to activate one or more indices.|" + notOnline;
  for (const auto& [program, outcome] : {std::pair{indexesOnly, TRepairOutcome::Done},
                                         std::pair{gaveUp, TRepairOutcome::FailedAsBefore},
                                         std::pair{otherError, TRepairOutcome::FailedAsBefore}}) {
    TRebuildRun run;
    TTestFolder side;
    const std::string leftBehind = side / "left.fdb";
    CreateTestDatabase(leftBehind);
    RunIsqlOn(leftBehind, "create index T_NAME on T (NAME);\ncommit;\nalter index T_NAME inactive;\ncommit;\n");
    ASSERT_EQ(std::system(("'" + GfixPath + "' -shut multi -force 0 -user SYSDBA -password quartzfin '" + leftBehind + "'").c_str()), 0);
    TScriptEngineComponent engine(FAKE_ENGINE_PATH);
    TLoadedLibrary(FAKE_ENGINE_PATH, false).Call<void (*)(const char*)>("FakeEngine_SetProgram")(program.c_str());
    engine.OnBlockProgress = [&](const std::string&, bool& go) {
      if (!platform::FileExists(run.paths.Database)) platform::CopyFile(leftBehind, run.paths.Database);
      go = true;
    };
    engine.OnScriptError = [&](const std::string&, const std::string& e, bool& go) { go = false; };
    TIndexRecovery recovery(run.host, std::string(PROGRAM_FOLDER) + "/", nullptr);
    TRebuildStage stage(run.host, engine, std::string(PROGRAM_FOLDER) + "/", &recovery);
    const std::string original = ReadFileBytes(run.paths.Database);
    EXPECT_EQ(TRepairProcedure(run.host, nullptr, &stage).Run(run.folder.Path()), outcome)
        << program << ::testing::PrintToString(run.host.Log);
    if (outcome == TRepairOutcome::FailedAsBefore) {
      EXPECT_EQ(ReadFileBytes(run.paths.Database), original);
    } else {
      EXPECT_NE(std::find(run.host.Log.begin(), run.host.Log.end(), texts::IndexActivated("T_NAME", "T")), run.host.Log.end());
    }
  }
}

TEST(RebuildStage, APreviousBackupIsNeverRestored) {
  TRebuildRun run(false);  // no gbak: no new backup can be made
  WriteTextFile(run.paths.Backup, "backup of an earlier run");
  const std::string original = ReadFileBytes(run.paths.Database);
  run.Repair();
  EXPECT_FALSE(platform::FileExists(run.paths.Backup));
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairFailedBox(texts::DatabaseIsAsBefore(run.paths.SafetyCopy))});
  EXPECT_EQ(run.host.Log, (Lines{texts::BackupFailed(0xFFFFFFFF), texts::DatabaseIsAsBefore(run.paths.SafetyCopy)}));
  EXPECT_EQ(ReadFileBytes(run.paths.Database), original);
  EXPECT_TRUE(run.progress.empty());  // no restore was tried
}

TEST(RebuildStage, AFailedBackupEndsWithTheSafetyCopyAndNoDoneBox) {
  TRebuildRun run;
  WriteTextFile(run.paths.Database, std::string(16384, 'z'));  // gbak cannot read it
  run.Repair();
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairFailedBox(texts::DatabaseIsAsBefore(run.paths.SafetyCopy))});
  ASSERT_GE(run.host.Log.size(), 2u);
  EXPECT_EQ(run.host.Log[run.host.Log.size() - 2].rfind("gbak không sao lưu được cơ sở dữ liệu (mã kết thúc ", 0), 0u);
  EXPECT_EQ(ReadFileBytes(run.paths.Database), std::string(16384, 'z'));
  EXPECT_TRUE(run.progress.empty());
}

}  // namespace

namespace {

// gbak that cannot run, crashes or fails: the database is never deleted, the
// guard says why and the safety copy goes back; no done box.
TEST(RebuildStage, AGbakThatDoesNotEndWellNeverCostsTheDatabase) {
  const std::vector<std::pair<std::string, std::string>> tools = {
      {"not executable", ""},
      {"crashing", "kill -SEGV $$\n"},
      {"failing", "echo 'gbak: ERROR: cannot write the backup' >&2\nexit 1\n"},
      {"failing after a partial backup", "for last in \"$@\"; do :; done\necho partial > \"$last\"\nexit 2\n"},
  };
  for (const auto& [name, body] : tools) {
    TRebuildRun run(false);
    const std::string gbak = run.folder / "fb/bin/gbak";
    if (body.empty()) WriteTextFile(gbak, "#!/bin/sh\nexec /usr/bin/gbak \"$@\"\n");
    else MakeExecutableScript(gbak, body);
    const std::string original = ReadFileBytes(run.paths.Database);
    run.Repair();
    EXPECT_EQ(ReadFileBytes(run.paths.Database), original) << name;
    EXPECT_EQ(run.host.Messages, Lines{texts::RepairFailedBox(texts::DatabaseIsAsBefore(run.paths.SafetyCopy))}) << name;
    EXPECT_TRUE(run.progress.empty()) << name << ": no restore may start";
    bool explained = false;
    for (const auto& line : run.host.Log)
      explained = explained || line.rfind("gbak không ", 0) == 0 || line == texts::ToolNotStarted(gbak);
    EXPECT_TRUE(explained) << name;
    EXPECT_FALSE(platform::FileExists(run.paths.Backup) && platform::FileSize(run.paths.Backup) == 0u) << name;
  }
}

// gbak names its own remedy for transactions in limbo: the backup is made
// once more with -limbo, the log says so, and the repair goes on.
TEST(RebuildStage, ABackupStoppedByTransactionsInLimboIsRetriedOnceWithTheLimboOption) {
  TRebuildRun run(false);
  MakeExecutableScript(run.folder / "fb/bin/gbak",
                       "case \" $* \" in *\" -limbo \"*) exec " + GbakPath + " \"$@\" ;; esac\n"
                       "echo 'gbak: ERROR:record from transaction 12 is stuck in limbo'\n"
                       "echo 'gbak:Exiting before completion due to errors'\nexit 1\n");
  run.Repair();
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairDone});
  EXPECT_NE(std::find(run.host.Log.begin(), run.host.Log.end(), texts::BackupRetriedWithLimbo), run.host.Log.end());
  EXPECT_NE(RunIsqlOn(run.paths.Database, "select 'rows=' || count(*) from T;\n").find("rows=2"), std::string::npos);
}

// Tight bounds, so that a tool that never ends is stopped within a second
// or two here (the real rule gives minutes in proportion to the database).
TToolLimits TightLimits() {
  TToolLimits limits;
  limits.BaseSeconds = 1;
  limits.SecondsPerMegabyte = 0;
  limits.GrowthFactor = 1;
  limits.GrowthAllowanceBytes = 4u << 20;
  return limits;
}

// A tool that neither ends nor listens to SIGTERM, and records its pid.
void HangingTool(const std::string& path, const std::string& pidFile) {
  if (fs::exists(fs::symlink_status(path))) fs::remove(path);
  MakeExecutableScript(path, "echo $$ > '" + pidFile + "'\ntrap '' TERM\nwhile :; do sleep 1; done\n");
}

bool ProcessAlive(const std::string& pidFile) {
  const auto text = platform::ReadWholeFile(pidFile);
  return text && ::kill(std::stoi(*text), 0) == 0;
}

// A gfix past its bound may have written anything: it is ended, the
// original goes back in place, and the database is rebuilt from the
// original, as an expert whose mend ran away would rebuild it.
TEST(BoundedTools, AGfixThatNeverEndsIsStoppedAndTheOriginalIsRebuilt) {
  TRebuildRun run;
  TTestFolder pids("pids");
  HangingTool(run.folder / "fb/bin/gfix", pids / "gfix.pid");
  TRepairProcedure procedure(run.host, nullptr, &run.stage);
  procedure.ToolLimits = TightLimits();
  EXPECT_EQ(procedure.Run(run.folder.Path()), TRepairOutcome::Done);
  EXPECT_EQ(run.host.Log, (Lines{texts::ToolTookTooLong("gfix -v", 1, platform::FileSize(run.paths.SafetyCopy).value()),
                                 texts::ToolResultDiscarded("gfix -v", run.paths.SafetyCopy),
                                 texts::RebuildingBeforeDataRepair}));
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairDone});
  EXPECT_FALSE(ProcessAlive(pids / "gfix.pid"));
  EXPECT_NE(RunIsqlOn(run.paths.Database, "select 'rows=' || count(*) from T;\n").find("rows=2"), std::string::npos);
}

// A gfix that writes far past the end of the database, as a mend of a
// garbled index root page did: stopped long before the disk fills, and the
// grown file is neither kept as the database nor backed up.
TEST(BoundedTools, AToolThatGrowsTheDatabaseFarPastItsSizeIsStoppedAndItsFileDropped) {
  TRebuildRun run;
  fs::remove(run.folder / "fb/bin/gfix");
  MakeExecutableScript(run.folder / "fb/bin/gfix",
                       "for db; do :; done\nwhile :; do head -c 1048576 /dev/zero >> \"$db\"; sleep 0.01; done\n");
  TRepairProcedure procedure(run.host, nullptr, &run.stage);
  procedure.ToolLimits = TightLimits();
  procedure.ToolLimits.BaseSeconds = 600;
  EXPECT_EQ(procedure.Run(run.folder.Path()), TRepairOutcome::Done);
  ASSERT_FALSE(run.host.Log.empty());
  EXPECT_EQ(run.host.Log[0].rfind("Đã dừng gfix -v: file " + run.paths.Database + " đã lớn tới ", 0), 0u) << run.host.Log[0];
  EXPECT_LT(platform::FileSize(run.paths.Backup).value(), platform::FileSize(run.paths.SafetyCopy).value());
  EXPECT_NE(RunIsqlOn(run.paths.Database, "select 'rows=' || count(*) from T;\n").find("rows=2"), std::string::npos);
}

// A gfix that grows the file and ends before any look during its run: the
// look after its end catches it.
TEST(BoundedTools, AToolThatGrowsTheFileAndEndsAtOnceIsCaughtAfterItsEnd) {
  TRebuildRun run;
  fs::remove(run.folder / "fb/bin/gfix");
  MakeExecutableScript(run.folder / "fb/bin/gfix", "for db; do :; done\ntruncate -s 20G \"$db\"\n");
  TRepairProcedure procedure(run.host, nullptr, &run.stage);
  procedure.ToolLimits = TightLimits();
  procedure.ToolLimits.BaseSeconds = 600;
  EXPECT_EQ(procedure.Run(run.folder.Path()), TRepairOutcome::Done);
  ASSERT_GE(run.host.Log.size(), 2u);
  EXPECT_EQ(run.host.Log[0].rfind("Đã dừng gfix -v: file " + run.paths.Database + " đã lớn tới ", 0), 0u) << run.host.Log[0];
  EXPECT_EQ(run.host.Log[1], texts::ToolResultDiscarded("gfix -v", run.paths.SafetyCopy));
  EXPECT_LT(platform::FileSize(run.paths.Database).value(), 1u << 24);
}

TEST(BoundedTools, ABackupThatNeverEndsIsStoppedAndLeavesNoBackup) {
  TRebuildRun run(false);
  TTestFolder pids("pids");
  HangingTool(run.folder / "fb/bin/gbak", pids / "gbak.pid");
  run.stage.ToolLimits = TightLimits();
  run.Repair();
  EXPECT_NE(std::find(run.host.Log.begin(), run.host.Log.end(),
                      texts::ToolTookTooLong("gbak -b", 1, platform::FileSize(run.paths.SafetyCopy).value())),
            run.host.Log.end());
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairFailedBox(texts::DatabaseIsAsBefore(run.paths.SafetyCopy))});
  EXPECT_FALSE(ProcessAlive(pids / "gbak.pid"));
  EXPECT_FALSE(platform::FileExists(run.paths.Backup));
  EXPECT_TRUE(platform::SameContents(run.paths.Database, run.paths.SafetyCopy));
}

TEST(BoundedTools, AToolThatIsThereButCannotStartFailsTheRepairWhereAMissingOneIsSkipped) {
  TRebuildRun run;
  const std::string gfix = run.folder / "fb/bin/gfix";
  fs::remove(gfix);
  WriteTextFile(gfix, "#!/bin/sh\necho never\n");  // no right to run it, root included
  run.Repair();
  ASSERT_FALSE(run.host.Log.empty());
  EXPECT_EQ(run.host.Log[0], texts::ToolNotStarted(gfix));
  EXPECT_EQ(run.host.Messages, Lines{texts::RepairFailedBox(texts::DatabaseIsAsBefore(run.paths.SafetyCopy))});
  EXPECT_TRUE(platform::SameContents(run.paths.Database, run.paths.SafetyCopy));
}

}  // namespace
