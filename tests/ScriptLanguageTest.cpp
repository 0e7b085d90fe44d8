// The engine's language through the real library: statements, comments,
// callbacks, and the texts of its errors. No restore runs here.
#include <gtest/gtest.h>

#include "engine/ScriptEngineApi.h"
#include "repair/InstallPaths.h"
#include "support/EngineRun.h"
#include "support/LoadedLibrary.h"
#include "support/TestFolder.h"

namespace {

using Lines = std::vector<std::string>;

TEST(ScriptLanguage, ScriptMistakesAreNamedClearly) {
  TTestFolder folder("VYR10");
  const auto paths = TInstallPaths::FromFolderText(folder.Path());
  struct {
    std::string script, expected;
  } cases[] = {
      {RestoreCall(paths, Options() + "; FAST", paths.Backup),
       "Unknown restore option \"FAST\" (line 3, column 3)"},
      {"execute scriptblock as begin x = ; end", "Syntax error at line 1, column 34: expected a string or a variable"},
      {"select 1 from rdb$database;", "Syntax error at line 1, column 1: expected \"execute scriptblock\""},
      {"execute scriptblock as begin x = 'ổ'; y = ; end",
       "Syntax error at line 1, column 43: expected a string or a variable"},
      {"execute scriptblock as begin sb_shout('x'); end", "Unknown function sb_shout"},
      {"execute scriptblock as begin sb_progress(y); end", "Variable y is not defined (line 1, column 30)"},
      {"execute scriptblock as begin s = 'open; end", "Unterminated string"},
      {RestoreCall(paths, "clientlib=/no/libfbclient.so.2", paths.Backup),
       "Cannot load the client library /no/libfbclient.so.2"},
  };
  for (const auto& c : cases) {
    TEngineRun run;
    run.Run(c.script);
    ASSERT_EQ(run.errors.size(), 1u) << c.script;
    EXPECT_EQ(run.errors[0].rfind(c.expected, 0), 0u) << run.errors[0];
  }
}

TEST(ScriptLanguage, CommentsCaseAndQuotesAreUnderstood) {
  TEngineRun run;
  run.Run("-- a comment\nEXECUTE ScriptBlock AS BEGIN /* block\ncomment */ m = 'it''s'; SB_PROGRESS(m); END;\n"
          "execute scriptblock as begin sb_progress('second'); end");
  EXPECT_TRUE(run.errors.empty()) << run.errors[0];
  EXPECT_EQ(run.progress, (Lines{"it's", "second"}));
  EXPECT_EQ(run.after, (Lines{"ok", "ok"}));
}

TEST(ScriptLanguage, EachCallbackCanStopTheScript) {
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
}

TEST(ScriptLanguage, ConnectIsNotSupportedAndSaysSo) {
  TLoadedLibrary library(ENGINE_PATH, true);
  ASSERT_TRUE(library);
  auto connect = library.Call<TScriptConnectDBProc>(ConnectExport);
  static std::string reported;
  auto result = connect("anything", [](const char* message) -> std::int32_t {
    reported = message;
    return 0;
  });
  EXPECT_NE(result, 0);
  EXPECT_NE(reported.find("not supported"), std::string::npos);
}

}  // namespace
