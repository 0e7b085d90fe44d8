// The data repair stage: connect through the client library and run the four
// repair statements, each a step of its own that is committed, paused after
// and, when it fails, logged while the next one runs.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "repair/RepairHost.h"
#include "repair/RepairStage.h"
#include "repair/ToolWatch.h"


class TDbConnection;
class TDbQuery;
class TDbSQL;
class TDbTransaction;

struct TRepairStatements {
  TDbSQL* Steps[4];  // udDMPB, udDMPB2, scCreateTmp, Sql
};

// The design settings of the four statement components: their texts, the
// connection, and Trans for statements 1 and 4.
TRepairStatements SetUpRepairStatements(TDbConnection& cnn, TDbTransaction& Trans, TDbQuery& udDMPB,
                                        TDbSQL& udDMPB2, TDbQuery& scCreateTmp, TDbQuery& Sql);

class TDataRepairStage : public TRepairStage {
 public:
  TDataRepairStage(TRepairHost& host, TDbConnection& connection, TRepairStatements statements, std::string programFolder)
      : FHost(host), FConnection(connection), FStatements(statements), FProgramFolder(std::move(programFolder)) {}

  // Opening and closing errors are not caught here: they reach the guard.
  void Run(const TInstallPaths& paths) override;

  static constexpr unsigned PauseAfterStep = 1000;

  // The bound on the stage's calls to the server, by the tools' rule.
  TToolLimits Limits;

 private:
  void RunStep(TDbSQL& statement, const std::function<void()>& afterwards);
  void CloseAfterFailure();
  std::optional<std::string> RunWatchedSteps(const TInstallPaths& paths);

  TRepairHost& FHost;
  TDbConnection& FConnection;
  TRepairStatements FStatements;
  std::string FProgramFolder;
};
