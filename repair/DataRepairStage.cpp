#include "repair/DataRepairStage.h"

#include <exception>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "repair/ChangeReport.h"
#include "repair/RepairConnection.h"
#include "repair/RepairStatements.h"
#include "repair/RepairTexts.h"
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

void TDataRepairStage::Run(const TInstallPaths& paths) {
  FHost.AddLog("Đang kiểm tra trùng dữ liệu...");
  PointConnectionAt(FConnection, FProgramFolder, paths.Database);
  FConnection.Open();
  TChangeReport report(FHost, FConnection);
  report.BeforeDepartmentIds();
  RunStep(*FStatements.Steps[0]);
  RunStep(*FStatements.Steps[1]);
  report.AfterDepartmentIds();
  RunStep(*FStatements.Steps[2]);
  report.AllowancesThatKeepTheirKey();
  report.BeforeDuplicateKeys();
  RunStep(*FStatements.Steps[3]);
  report.AfterDuplicateKeys();
  FConnection.Close();
}

void TDataRepairStage::RunStep(TDbSQL& statement) {
  if (FHost.StopRequested()) throw ERepairStopped(texts::StoppedByOperator(StepName));
  try {
    if (!FConnection.InTransaction()) FConnection.StartTransaction();
    statement.Execute();
    FConnection.ApplyUpdates();
    FConnection.Commit();
    FHost.Pause(PauseAfterStep);
  } catch (const std::exception& error) {
    FHost.AddLog(error.what());
  }
}
