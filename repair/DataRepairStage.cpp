#include "repair/DataRepairStage.h"

#include <exception>

#include "db/DbConnection.h"
#include "repair/ChangeReport.h"
#include "db/DbSQL.h"
#include "repair/RepairStatements.h"
#include "repair/RepairTexts.h"
#include "repair/RestoreScript.h"

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

void TDataRepairStage::Run(const TInstallPaths& paths) {
  FHost.AddLog("Đang kiểm tra trùng dữ liệu...");
  FConnection.SetProviderName("Firebird");
  FConnection.ProviderOptions().SetValue("ClientLibrary", FProgramFolder + ClientLibraryName);
  FConnection.ProviderOptions().SetValue("UseUnicode", "True");
  FConnection.SetDatabase(paths.Database);
  FConnection.SetUsername(texts::DatabaseUser);
  FConnection.SetPassword(texts::DatabasePassword);
  FConnection.Open();
  TChangeReport report(FHost, FConnection);
  report.BeforeDepartmentIds();
  RunStep(*FStatements.Steps[0]);
  RunStep(*FStatements.Steps[1]);
  report.AfterDepartmentIds();
  RunStep(*FStatements.Steps[2]);
  LogAllowancesThatKeepTheirKey();
  report.BeforeDuplicateKeys();
  RunStep(*FStatements.Steps[3]);
  report.AfterDuplicateKeys();
  FConnection.Close();
}

void TDataRepairStage::LogAllowancesThatKeepTheirKey() {
  try {
    for (const auto& row : FConnection.SelectRows(AllowancesOfSharedPayrollIdsQuery()))
      FHost.AddLog(texts::AllowanceKeepsItsKey(row[0], row[1], row[2], row[3], row[4]));
  } catch (const std::exception& error) {
    FHost.AddLog(error.what());
  }
}

void TDataRepairStage::RunStep(TDbSQL& statement) {
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
