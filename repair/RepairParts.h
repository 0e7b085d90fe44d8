// The repair's parts wired as the window wires its own: the connection, the
// four statement components, the data repair stage, the script engine with
// its progress and error lines, the rebuild stage with its index recovery,
// the row counter in a child process. For a run without a window: the
// command line and the test harness.
#pragma once

#include <string>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "db/DbTransaction.h"
#include "repair/DataRepairStage.h"
#include "repair/RebuildStage.h"
#include "repair/RepairHost.h"
#include "repair/IndexRecovery.h"
#include "repair/RowCountChild.h"
#include "tools/ScriptEngineComponent.h"

class TRepairParts {
 public:
  // programFolder ends with the path separator.
  TRepairParts(TRepairHost& host, const std::string& programFolder);
  TRepairParts(const TRepairParts&) = delete;
  TRepairParts& operator=(const TRepairParts&) = delete;

  TDataRepairStage& DataStage() { return FDataStage; }
  TRebuildStage& RebuildStage() { return FRebuildStage; }
  TRowCounter& RowCounter() { return FRowCounter; }
  // The bound on gbak, gfix -online, the row counter's child and the data
  // stage's server calls.
  void SetToolLimits(const TToolLimits& limits) {
    FRebuildStage.ToolLimits = limits;
    FRowCounter.Limits = limits;
    FDataStage.Limits = limits;
  }

 private:
  void ProgressLine(const std::string& message);

  TRepairHost& FHost;
  TDbConnection cnn;
  TDbTransaction Trans;
  TDbQuery udDMPB, scCreateTmp, Sql;
  TDbSQL udDMPB2;
  TDataRepairStage FDataStage;
  TScriptEngineComponent FEngine;
  TChildRowCounter FRowCounter;
  TIndexRecovery FIndexRecovery;
  TRebuildStage FRebuildStage;
  std::string msg2;  // the leading characters of the last progress line shown
};
