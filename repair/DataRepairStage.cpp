#include "repair/DataRepairStage.h"

#include <cstdint>
#include <exception>
#include <functional>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "repair/ChangeReport.h"
#include "repair/PhaseTimes.h"
#include "repair/RepairConnection.h"
#include "repair/RepairStatements.h"
#include "repair/RepairTexts.h"
#include "repair/ServerCallWatch.h"
#include "repair/ToolWatch.h"

TRepairStatements SetUpRepairStatements(TDbConnection& cnn, TDbTransaction& Trans, TDbQuery& udDMPB,
                                        TDbSQL& udDMPB2, TDbQuery& scCreateTmp, TDbQuery& Sql) {
  udDMPB.SQL = FillDepartmentIdsBlock();
  udDMPB2.SQL = FillDepartmentIdsUpdate();
  scCreateTmp.SQL = CreateTempTablesBlock();
  Sql.SQL = RemoveDuplicateKeysBlock();
  const TRepairStatements statements{{&udDMPB, &udDMPB2, &scCreateTmp, &Sql}};
  for (TDbSQL* statement : statements.Steps) statement->Connection = &cnn;
  udDMPB.Transaction = &Trans;
  Sql.Transaction = &Trans;
  return statements;
}

namespace {

const std::string StepName = "bước sửa trùng dữ liệu";

}  // namespace

// The connection is closed on every path: a database left open in this
// process could neither be replaced by the safety copy nor seen anew.
void TDataRepairStage::Run(const TInstallPaths& paths) {
  FHost.AddLog("Đang kiểm tra trùng dữ liệu...");
  PointConnectionAt(FConnection, FProgramFolder, paths.Database);
  FConnection.Open();
  std::optional<std::string> stopped;
  try {
    stopped = RunWatchedSteps(paths);
  } catch (...) {
    CloseAfterFailure();
    throw;
  }
  if (stopped) {
    CloseAfterFailure();  // the cancelled work is rolled back; the stop goes to the guard
    throw ERepairStopped(*stopped);
  }
  FConnection.Close();
}

// The close on the way to the guard: the failure or stop that led here is
// the error the guard sees; a close that fails is logged, and tried once
// more with any cancel still pending cleared.
void TDataRepairStage::CloseAfterFailure() {
  for (int attempt = 0; attempt < 2 && FConnection.Connected(); ++attempt) {
    try {
      FConnection.ClearPendingCancel();
      FConnection.Close();
    } catch (const std::exception& error) {
      FHost.AddLog(error.what());
    }
  }
}

// The statements and their report under the watch; why the watch stopped
// them, or nothing. The report reads what a statement changed in the pause
// that follows it, which it shortens by as long as it took.
std::optional<std::string> TDataRepairStage::RunWatchedSteps(const TInstallPaths& paths) {
  TServerCallWatch watch(FHost, FConnection, StepName, SecondsFor(Limits, platform::FileSize(paths.Database).value_or(0)));
  TChangeReport report(FHost, FConnection);
  const auto step = [&](TDbSQL& statement, const std::function<void()>& afterwards) {
    if (!watch.Stopped()) RunStep(statement, afterwards);
  };
  report.BeforeDepartmentIds();
  step(*FStatements.Steps[0], nullptr);
  step(*FStatements.Steps[1], [&] { report.AfterDepartmentIds(); });
  step(*FStatements.Steps[2], [&] {
    report.AllowancesThatKeepTheirKey();
    report.BeforeDuplicateKeys();
  });
  step(*FStatements.Steps[3], [&] {
    if (!watch.Stopped()) report.AfterDuplicateKeys();
  });
  return watch.Stopped();
}

// A failed statement skips its pause; the report still reads.
void TDataRepairStage::RunStep(TDbSQL& statement, const std::function<void()>& afterwards) {
  StopIfAsked(FHost, StepName);
  bool committed = false;
  try {
    const TTimedPhase timed(TPhase::Statements);
    if (!FConnection.InTransaction()) FConnection.StartTransaction();
    statement.Execute();
    FConnection.ApplyUpdates();
    FConnection.Commit();
    committed = true;
  } catch (const std::exception& error) {
    FHost.AddLog(error.what());
  }
  const std::uint64_t pauseStarted = platform::SteadyMilliseconds();
  if (afterwards) {
    const TTimedPhase timed(TPhase::ChangeReport);
    afterwards();
  }
  if (!committed) return;
  const std::uint64_t spent = platform::SteadyMilliseconds() - pauseStarted;
  const TTimedPhase timed(TPhase::Pauses);
  FHost.Pause(spent >= PauseAfterStep ? 0 : static_cast<unsigned>(PauseAfterStep - spent));
}
