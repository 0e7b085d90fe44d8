// The data stage's server calls under their bound, on real embedded
// databases: a call cancelled from the watch's thread, and a stop between
// steps, must leave the database closed in this process, never held open
// behind a forgotten handle.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "platform/Exception.h"
#include "repair/RepairConnection.h"
#include "repair/RepairParts.h"
#include "repair/RepairTexts.h"
#include "repair/ServerCallWatch.h"
#include "support/FirebirdTools.h"
#include "support/RecordingHost.h"
#include "support/TestFolder.h"
#include "support/VyrFixture.h"

namespace {

namespace fs = std::filesystem;

// True while some descriptor of this process is open on the file.
bool OpenInThisProcess(const std::string& path) {
  const fs::path file = fs::canonical(path);
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const fs::path target = fs::read_symlink(entry.path(), error);
    if (!error && target == file) return true;
  }
  return false;
}

void OpenOn(TDbConnection& connection, const std::string& database) {
  PointConnectionAt(connection, std::string(PROGRAM_FOLDER) + "/", database);
  connection.LoginPrompt = false;
  connection.Open();
}

std::string RowsOf(const std::string& database, const std::string& table) {
  const std::string output = RunIsqlOn(database, "set list on;\nselect count(*) as ROWS_IN_TABLE from " + table + ";\n");
  const std::string name = "ROWS_IN_TABLE";
  const auto at = output.find(name);
  if (at == std::string::npos) return output;
  const auto value = output.find_first_not_of(' ', at + name.size());
  return output.substr(value, output.find_first_of("\r\n", value) - value);
}

// A host whose operator asks to stop once the stage has paused after as
// many steps as given.
class TStoppingHost : public TRecordingHost {
 public:
  explicit TStoppingHost(std::size_t stepsBeforeStop) : FSteps(stepsBeforeStop) {}
  bool StopRequested() const override { return FPaused.load() >= FSteps; }
  void Pause(unsigned milliseconds) override {
    TRecordingHost::Pause(milliseconds);
    ++FPaused;
  }

 private:
  std::size_t FSteps;
  std::atomic<std::size_t> FPaused{0};
};

// A big write cancelled past its bound takes the server longer to undo than
// the watch takes to look again, and a cancel raised as the call ends stays
// pending on the attachment: once the watch has ended, the next call, and
// the close, must go through, leaving the file closed here.
TEST(ServerCalls, AWriteCancelledPastItsBoundIsRolledBackAndTheConnectionCloses) {
  TTestFolder folder;
  const std::string database = folder / "T.FDB";
  CreateTestDatabase(database);
  RunIsqlOn(database, "create table BIG (N integer);\ncommit;\n");
  TDbConnection connection;
  OpenOn(connection, database);
  TRecordingHost host;
  {
    TServerCallWatch watch(host, connection, "bước thử", 1);
    TDbSQL statement;
    statement.Connection = &connection;
    statement.SQL = {"execute block as declare i integer = 0; begin "
                     "while (i < 200000000) do begin insert into BIG values (:i); i = i + 1; end end"};
    connection.StartTransaction();
    try {
      statement.Execute();
      ADD_FAILURE() << "not cancelled";
    } catch (const std::exception& error) {
      EXPECT_NE(std::string(error.what()).find("cancelled"), std::string::npos) << error.what();
    }
    EXPECT_EQ(watch.Stopped(), texts::ServerCallTookTooLong("bước thử", 1));
  }
  EXPECT_NO_THROW(connection.SelectRows("select 1 from RDB$DATABASE")) << "a cancel outlived the watch";
  EXPECT_NO_THROW(connection.Close());
  EXPECT_FALSE(connection.Connected());
  EXPECT_FALSE(OpenInThisProcess(database));
  EXPECT_EQ(RowsOf(database, "BIG"), "0");
}

// A stop asked for at each boundary between the four statements ends the
// stage with the connection closed.
TEST(ServerCalls, AStopBetweenAnyTwoStatementsLeavesTheDatabaseClosed) {
  for (std::size_t steps = 0; steps <= 3; ++steps) {
    TTestFolder folder{"VYR10"};
    const TInstallPaths paths = TInstallPaths::FromFolderText(folder.Path());
    MakeFolders(folder / "DATA");
    CreateVyrDatabase(paths.Database);
    TStoppingHost host(steps);
    {
      TRepairParts parts(host, std::string(PROGRAM_FOLDER) + "/");
      EXPECT_THROW(parts.DataStage().Run(paths), ERepairStopped) << steps;
      EXPECT_FALSE(OpenInThisProcess(paths.Database)) << "stopped after " << steps << " statements";
    }
  }
}

}  // namespace
