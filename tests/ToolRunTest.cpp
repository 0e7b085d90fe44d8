// The Firebird tools read their arguments through the ANSI code page: a
// Vietnamese folder name reaches them as "?" on Windows. The repair then
// runs them in the DATA folder with the repair's ASCII file names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "repair/InstallPaths.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "repair/RepairTexts.h"
#include "repair/ToolCommands.h"
#include "tools/ConsoleTool.h"
#include "support/RecordingHost.h"
#include "support/TestFolder.h"

namespace {

namespace fs = std::filesystem;

struct TToolInstall {
  TTestFolder folder;
  TInstallPaths paths;
  explicit TToolInstall(const std::string& name) : folder(name) {
    MakeFolders(folder / "DATA");
    MakeFolders(folder / "fb/bin");
    paths = TInstallPaths::FromFolderText(folder.Path());
    WriteTextFile(paths.Database, "the books");
    fs::copy_file(fs::u8path(OPEN_LAST_ARGUMENT_PATH), fs::u8path(paths.GfixPreferred));
  }
};

bool Opened(const std::vector<std::string>& log) {
  return std::any_of(log.begin(), log.end(), [](const std::string& line) { return line.rfind("opened ", 0) == 0; });
}

TEST(ToolRun, AToolReadingItsArgumentsThroughTheCodePageOpensTheDatabaseOfAVietnameseFolder) {
  for (const std::string name : {"Kế toán Việt", "VYR10 plain"}) {
    TToolInstall install(name);
    TRecordingHost host;
    TToolBound bound;
    bound.Tool = "gfix -v";
    bound.Seconds = 60;
    bound.LargestFileBytes = 1u << 30;
    const TToolRun run = ToolRunFor(install.paths, GfixValidateCommand);
    EXPECT_EQ(RunLoggedTool(host, run, bound), 0u) << name;
    EXPECT_TRUE(Opened(host.Log)) << name << ": " << (host.Log.empty() ? "" : host.Log[0]);
    if (run.WorkingFolder.empty()) {
      EXPECT_EQ(run.CommandLine, GfixValidateCommand(install.paths)) << "byte for byte where the tool can read the path";
    } else {
      EXPECT_EQ(run.WorkingFolder + platform::PathSeparator, install.paths.DataFolder);
      EXPECT_NE(run.CommandLine.find(" \"VYR.FDB\" "), std::string::npos) << run.CommandLine;
    }
  }
}

// A tool that is there but cannot be started (not a program at all here; a
// path Windows refuses, a missing right to run it) is an error, never the
// silence kept for a tool that does not exist.
TEST(ToolRun, AToolThatIsThereButCannotStartIsAnErrorWhereAMissingOneIsSilent) {
  TToolInstall install("Kế toán Việt");
  fs::remove(fs::u8path(install.paths.GfixPreferred));
  WriteTextFile(install.paths.GfixPreferred, "not a program");
  TRecordingHost host;
  TToolBound bound;
  bound.Tool = "gfix -v";
  bound.Seconds = 60;
  bound.LargestFileBytes = 1u << 30;
  try {
    RunLoggedTool(host, ToolRunFor(install.paths, GfixValidateCommand), bound);
    FAIL() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.what(), texts::ToolNotStarted(install.paths.GfixPreferred));
  }
  fs::remove(fs::u8path(install.paths.GfixPreferred));
  EXPECT_EQ(RunLoggedTool(host, ToolRunFor(install.paths, GfixValidateCommand), bound), ConsoleToolFailure);
  EXPECT_TRUE(host.Log.empty());
}

#ifdef _WIN32
// On a network share (a UNC path, as customers run VYR from a server): the
// tool runs in the share's DATA folder and opens the database all the same.
// Run where VYR_TEST_UNC_ROOT names a writable share (\\server\share);
// windows-test.sh serves one from the wine prefix.
TEST(ToolRun, AVietnameseFolderOnANetworkShareReachesTheTool) {
  const char* share = std::getenv("VYR_TEST_UNC_ROOT");
  if (share == nullptr || *share == '\0') GTEST_SKIP() << "no share mapped (VYR_TEST_UNC_ROOT)";
  const std::string root = std::string(share) + "\\Kế toán Việt " + std::to_string(std::random_device()() % 1000000);
  MakeFolders(root + "\\DATA");
  MakeFolders(root + "\\fb\\bin");
  const TInstallPaths paths = TInstallPaths::FromFolderText(root);
  WriteTextFile(paths.Database, "the books");
  fs::copy_file(fs::u8path(OPEN_LAST_ARGUMENT_PATH), fs::u8path(paths.GfixPreferred));
  const std::wstring before = fs::current_path().wstring();
  for (const auto& command : {GfixValidateCommand, GfixMendCommand}) {
    TRecordingHost host;
    TToolBound bound;
    bound.Tool = "gfix";
    bound.Seconds = 60;
    bound.LargestFileBytes = 1u << 30;
    const TToolRun run = ToolRunFor(paths, command);
    EXPECT_EQ(run.WorkingFolder + platform::PathSeparator, paths.DataFolder);
    EXPECT_EQ(RunLoggedTool(host, run, bound), 0u) << (host.Log.empty() ? "" : host.Log[0]);
    EXPECT_TRUE(Opened(host.Log)) << (host.Log.empty() ? "" : host.Log[0]);
  }
  EXPECT_EQ(fs::current_path().wstring(), before) << "the program's own current folder is put back";
  std::error_code ignored;
  fs::remove_all(fs::u8path(root), ignored);
}

// What the working folder mends: the same tool given the full path fails.
TEST(ToolRun, TheFullVietnamesePathIsWhatTheToolCannotOpen) {
  TToolInstall install("Kế toán Việt");
  TRecordingHost host;
  TToolBound bound;
  bound.Tool = "gfix -v";
  bound.Seconds = 60;
  bound.LargestFileBytes = 1u << 30;
  RunLoggedTool(host, {GfixValidateCommand(install.paths), ""}, bound);
  EXPECT_FALSE(Opened(host.Log));
  EXPECT_NE(ToolRunFor(install.paths, GfixValidateCommand).WorkingFolder, "");
}
#endif

}  // namespace
