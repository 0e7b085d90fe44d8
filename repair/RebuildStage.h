// The last stage: back the database up with gbak, delete it, restore it from
// the backup through the script engine.
#pragma once

#include <string>

#include "repair/RepairHost.h"
#include "repair/RepairStage.h"
#include "repair/ToolWatch.h"

class TScriptEngineComponent;

class TRebuildStage : public TRepairStage {
 public:
  // The engine's handlers belong to whoever owns it; programFolder holds the
  // client library the restore loads.
  TRebuildStage(TRepairHost& host, TScriptEngineComponent& engine, std::string programFolder)
      : FHost(host), FEngine(engine), FProgramFolder(std::move(programFolder)) {}

  // Raises an error when gbak did not end well (the database is then not
  // deleted), and "Có lỗi khi sửa dữ liệu!" when the rebuild left no sound
  // database: a script error, no file, or the engine's online check. The
  // restored database is on stable storage when it returns.
  void Run(const TInstallPaths& paths) override;

  TToolLimits ToolLimits;  // the bound on gbak's backup

 private:
  void Backup(const TInstallPaths& paths);

  TRepairHost& FHost;
  TScriptEngineComponent& FEngine;
  std::string FProgramFolder;
};
