// The names the repair derives from the folder text, and the gfix command
// lines built from them, with this platform's separator and program names.
#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/NativeNames.h"
#include "repair/FileSafety.h"
#include "repair/InstallPaths.h"
#include "repair/ToolCommands.h"
#include "support/TestFolder.h"

namespace {

const std::string S(1, platform::PathSeparator);

// A root as an operator types it on this platform.
#ifdef _WIN32
const std::string Root = "D:\\VYR10";
#else
const std::string Root = "/opt/VYR10";
#endif

TEST(InstallRoot, IsTrimmedAndEndsInExactlyOneSeparator) {
  EXPECT_EQ(FormInstallRoot("  " + Root + "  "), Root + S);
  EXPECT_EQ(FormInstallRoot(Root + S), Root + S);
  EXPECT_EQ(FormInstallRoot("\t" + Root + S + "\r\n"), Root + S);
  EXPECT_EQ(FormInstallRoot(""), S);
  EXPECT_EQ(FormInstallRoot(" " + Root + S + "Kế toán 'A' "), Root + S + "Kế toán 'A'" + S);
  EXPECT_EQ(FormInstallRoot(Root + "/"), Root + S) << "a trailing / is a separator here too";
  const auto paths = TInstallPaths::FromFolderText(Root);
  EXPECT_EQ(paths.Database, Root + S + "DATA" + S + "VYR.FDB");
  EXPECT_EQ(paths.SafetyCopy, Root + S + "DATA" + S + "VYR_LUU.FDB");
  EXPECT_EQ(paths.Backup, Root + S + "DATA" + S + "VYRBK.FBK");
  EXPECT_EQ(paths.RepairMarker, Root + S + "DATA" + S + "VYR_DANGSUA.TXT");
}

// Windows refuses to start a program whose path passes 259 characters: every
// root whose database path the repair accepts keeps its tools below that.
TEST(InstallRoot, TheLongestAcceptedRootKeepsTheToolsStartable) {
  const std::string longest = Root + S + std::string(LongestDatabasePath - (Root.size() + 14), 'x');
  const auto paths = TInstallPaths::FromFolderText(longest);
  ASSERT_EQ(paths.Database.size(), LongestDatabasePath);
  for (const auto& tool : {paths.GfixPreferred, paths.GfixFallback, paths.GbakPreferred, paths.GbakFallback})
    EXPECT_LT(tool.size(), 260u) << tool;
}

TEST(GfixCommands, QuoteTheToolAndTheDatabaseAndKeepTheFixedSpacing) {
  TTestFolder folder("VYR 10");
  const std::string root = folder.Path();
  const std::string gfix = std::string("gfix") + platform::ProgramSuffix;
  MakeFolders(root + "fb" + S + "bin");
  WriteTextFile(root + "fb" + S + "bin" + S + gfix, "");
  const auto paths = TInstallPaths::FromFolderText(root);
  const std::string database = "\"" + root + "DATA" + S + "VYR.FDB\" ";
  EXPECT_EQ(GfixValidateCommand(paths),
            "\"" + root + "fb" + S + "bin" + S + gfix + "\" -v -full -user SYSDBA -password quartzfin  " + database);
  EXPECT_EQ(GfixMendCommand(paths),
            "\"" + root + "fb" + S + "bin" + S + gfix + "\" -mend -ig -user SYSDBA -password quartzfin  " + database);
  platform::DeleteFile(root + "fb" + S + "bin" + S + gfix);
  EXPECT_EQ(GfixValidateCommand(paths).substr(0, root.size() + gfix.size() + 3), "\"" + root + gfix + "\" ");
}

}  // namespace
