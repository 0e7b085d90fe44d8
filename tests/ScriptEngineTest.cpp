#include <gtest/gtest.h>

#include <iostream>

#include "engine/Restore.h"
#include "engine/ScriptEngineApi.h"
#include "engine/ScriptErrors.h"
#include "platform/CommandLine.h"
#include "platform/Files.h"
#include "repair/InstallPaths.h"
#include "repair/RestoreScript.h"
#include "support/EngineRun.h"
#include "support/FirebirdTools.h"
#include "support/TestFolder.h"
#include "tools/ConsoleTool.h"
#include "tools/ScriptEngineComponent.h"

namespace {

using Lines = std::vector<std::string>;

// An install folder whose DATA holds a gbak backup of a fresh database.
struct TBackedUpInstall {
  TTestFolder folder;
  TInstallPaths paths;
  explicit TBackedUpInstall(const std::string& name = "VYR10") : folder(name) {
    MakeFolders(folder / "DATA");
    paths = TInstallPaths::FromFolderText(folder.Path());
    CreateTestDatabase(paths.Database);
    std::string output;
    RunConsoleTool(GbakPath + " -b -user SYSDBA " + platform::QuoteArgument(paths.Database) + " " +
                       platform::QuoteArgument(paths.Backup),
                   output, nullptr, false, nullptr, "");
    if (!platform::FileExists(paths.Backup)) throw std::runtime_error("gbak failed: " + output);
    platform::DeleteFile(paths.Database);
  }
};

std::string RowCount(const std::string& database) {
  const std::string output = RunIsqlOn(database, "select 'rows=' || count(*) from T;\n");
  return output;
}

TEST(ScriptEngine, TheRepairsRestoreScriptRebuildsTheDatabaseWithProgress) {
  for (const std::string name : {"VYR10", "Kế toán 'VYR' 10"}) {
    TBackedUpInstall install(name);
    TEngineRun run;
    run.Run(BuildRestoreScript(install.paths, ProgramFolder));
    EXPECT_TRUE(run.errors.empty()) << name << ": " << (run.errors.empty() ? "" : run.errors[0]);
    ASSERT_GT(run.progress.size(), 10u) << name;
    EXPECT_EQ(run.progress.front().rfind("gbak:opened file " + install.paths.Backup, 0), 0u) << run.progress.front();
    EXPECT_EQ(run.before.size(), 1u);
    EXPECT_EQ(run.after, Lines{"ok"});
    EXPECT_NE(RowCount(install.paths.Database).find("rows=2"), std::string::npos) << name;
  }
}

TEST(ScriptEngine, ServerErrorsReachTheErrorCallbackWithTheirFullText) {
  TBackedUpInstall install;
  TEngineRun run;
  run.Run(RestoreCall(install.paths, Options(), install.folder / "DATA/none.fbk"));
  ASSERT_EQ(run.errors.size(), 1u);
  EXPECT_NE(run.errors[0].find("cannot open backup file"), std::string::npos) << run.errors[0];
  EXPECT_TRUE(run.after.empty());  // the error handler said stop

  TEngineRun missingFolder;
  auto elsewhere = install.paths;
  elsewhere.Database = install.folder / "no such folder/VYR.FDB";
  missingFolder.Run(RestoreCall(elsewhere, Options(), install.paths.Backup));
  ASSERT_EQ(missingFolder.errors.size(), 1u);
  EXPECT_NE(missingFolder.errors[0].find("failed to create database"), std::string::npos) << missingFolder.errors[0];
}

TEST(ScriptEngine, ACutShortBackupIsReportedWithTheEnginesOwnReason) {
  TBackedUpInstall install;
  const std::string backup = ReadFileBytes(install.paths.Backup);
  WriteTextFile(install.paths.Backup, backup.substr(0, backup.size() / 2));
  TEngineRun run;
  run.Run(RestoreCall(install.paths, Options(), install.paths.Backup));
  ASSERT_EQ(run.errors.size(), 1u);
  EXPECT_EQ(run.errors[0].rfind("Backup incomplete", 0), 0u) << run.errors[0];
}

TEST(ScriptEngine, AProgressHandlerCanStopARestore) {
  const std::string two = "execute scriptblock as begin sb_progress('1'); end\n"
                          "execute scriptblock as begin sb_progress('2'); end";
  TBackedUpInstall install;
  TEngineRun stopProgress;
  stopProgress.stopProgressAt = true;
  stopProgress.Run(RestoreCall(install.paths, Options(), install.paths.Backup) + two);
  EXPECT_EQ(stopProgress.progress.size(), 3u);  // no progress after the stop, and nothing ran after it
  EXPECT_TRUE(stopProgress.after.empty());
  EXPECT_TRUE(stopProgress.errors.empty());
}

TEST(ScriptEngine, ARestoredDatabaseCountsOnlyWhenOnline) {
  TBackedUpInstall install;
  TEngineRun restore;
  restore.Run(RestoreCall(install.paths, Options(), install.paths.Backup));
  ASSERT_TRUE(restore.errors.empty());
  const auto options = TRestoreOptions::Parse(Options());
  EXPECT_NO_THROW(CheckDatabaseOnline(install.paths.Database, options));
  std::string output;
  RunConsoleTool(GfixPath + " -shut single -force 0 -user SYSDBA " + platform::QuoteArgument(install.paths.Database),
                 output, nullptr, false, nullptr, "");
  try {
    CheckDatabaseOnline(install.paths.Database, options);
    FAIL() << "a shut-down database passed the check; gfix said: " << output;
  } catch (const EScriptError& error) {
    EXPECT_NE(error.Message().find(install.paths.Database), std::string::npos) << error.Message();
  }
}

}  // namespace
