#include <gtest/gtest.h>

#include <dlfcn.h>
#include <iostream>

#include "engine/Restore.h"
#include "engine/ScriptEngineApi.h"
#include "engine/ScriptErrors.h"
#include "platform/CommandLine.h"
#include "platform/Files.h"
#include "repair/InstallPaths.h"
#include "repair/RestoreScript.h"
#include "support/FirebirdTools.h"
#include "support/TestFolder.h"
#include "tools/ConsoleTool.h"
#include "tools/ScriptEngineComponent.h"

namespace {

using Lines = std::vector<std::string>;
const std::string ProgramFolder = std::string(PROGRAM_FOLDER) + "/";

// The real engine with handlers that record everything and answer as told.
struct TEngineRun {
  TScriptEngineComponent engine{ENGINE_PATH};
  Lines progress, errors, before, after;
  bool stopBefore = false, stopAfter = false, stopProgressAt = false;

  TEngineRun() {
    engine.OnBlockProgress = [this](const std::string& m, bool& go) {
      progress.push_back(m);
      go = !(stopProgressAt && progress.size() == 3);
    };
    engine.OnScriptError = [this](const std::string& s, const std::string& e, bool& go) {
      errors.push_back(e);
      go = false;
    };
    engine.OnBeforeStatement = [this](const std::string& s, const std::string&, bool& go) {
      before.push_back(s);
      go = !stopBefore;
    };
    engine.OnAfterStatement = [this](const std::string& s, bool ok, bool& go) {
      after.push_back(ok ? "ok" : "failed");
      go = !stopAfter;
    };
  }
  void Run(const std::string& script) {
    engine.Script().SetText(script);
    engine.ExecuteScript();
  }
};

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

std::string RestoreCall(const TInstallPaths& paths, const std::string& options, const std::string& backup) {
  return "execute scriptblock as begin\n"
         "  cb = 'execute scriptblock (Line variant) as begin sb_progress(Line); end';\n"
         "  sb_RestoreDatabase(" +
         Q(backup) + ", " + Q(paths.Database) + ", " + Q(options) + ", cb);\nend\n";
}

std::string Options() { return "clientlib=" + ProgramFolder + ClientLibraryName + "; User=SYSDBA; Password=x; C; REP"; }

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

TEST(ScriptEngine, ScriptMistakesAreNamedClearly) {
  TBackedUpInstall install;
  struct {
    std::string script, expected;
  } cases[] = {
      {RestoreCall(install.paths, Options() + "; FAST", install.paths.Backup),
       "Unknown restore option \"FAST\" (line 3, column 3)"},
      {"execute scriptblock as begin x = ; end", "Syntax error at line 1, column 34: expected a string or a variable"},
      {"select 1 from rdb$database;", "Syntax error at line 1, column 1: expected \"execute scriptblock\""},
      {"execute scriptblock as begin x = 'ổ'; y = ; end",
       "Syntax error at line 1, column 43: expected a string or a variable"},
      {"execute scriptblock as begin sb_shout('x'); end", "Unknown function sb_shout"},
      {"execute scriptblock as begin sb_progress(y); end", "Variable y is not defined (line 1, column 30)"},
      {"execute scriptblock as begin s = 'open; end", "Unterminated string"},
      {RestoreCall(install.paths, "clientlib=/no/libfbclient.so.2", install.paths.Backup),
       "Cannot load the client library /no/libfbclient.so.2"},
  };
  for (const auto& c : cases) {
    TEngineRun run;
    run.Run(c.script);
    ASSERT_EQ(run.errors.size(), 1u) << c.script;
    EXPECT_EQ(run.errors[0].rfind(c.expected, 0), 0u) << run.errors[0];
  }
}

TEST(ScriptEngine, CommentsCaseAndQuotesAreUnderstood) {
  TEngineRun run;
  run.Run("-- a comment\nEXECUTE ScriptBlock AS BEGIN /* block\ncomment */ m = 'it''s'; SB_PROGRESS(m); END;\n"
          "execute scriptblock as begin sb_progress('second'); end");
  EXPECT_TRUE(run.errors.empty()) << run.errors[0];
  EXPECT_EQ(run.progress, (Lines{"it's", "second"}));
  EXPECT_EQ(run.after, (Lines{"ok", "ok"}));
}

TEST(ScriptEngine, EachCallbackCanStopTheScript) {
  const std::string two = "execute scriptblock as begin sb_progress('1'); end\n"
                          "execute scriptblock as begin sb_progress('2'); end";
  TEngineRun stopBefore;
  stopBefore.stopBefore = true;
  stopBefore.Run(two);
  EXPECT_TRUE(stopBefore.progress.empty());
  EXPECT_TRUE(stopBefore.after.empty());

  TEngineRun stopAfter;
  stopAfter.stopAfter = true;
  stopAfter.Run(two);
  EXPECT_EQ(stopAfter.progress, Lines{"1"});

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

TEST(ScriptEngine, ConnectIsNotSupportedAndSaysSo) {
  void* library = ::dlopen(ENGINE_PATH, RTLD_NOW);
  ASSERT_NE(library, nullptr);
  auto connect = reinterpret_cast<TScriptConnectDBProc>(::dlsym(library, ConnectExport));
  static std::string reported;
  auto result = connect("anything", [](const char* message) -> std::int32_t {
    reported = message;
    return 0;
  });
  EXPECT_NE(result, 0);
  EXPECT_NE(reported.find("not supported"), std::string::npos);
  ::dlclose(library);
}

}  // namespace
