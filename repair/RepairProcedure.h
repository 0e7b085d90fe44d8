// The whole repair run by one press of Accept: safety copy, the two gfix
// passes, the data repair and rebuild stages, the guard that puts the safety
// copy back when a step fails, and the final check. A marker file stands
// beside the database from the moment the safety copy is complete until the
// database is sound again, so a run after an interruption puts the original
// back first.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "repair/InstallPaths.h"
#include "repair/RepairHost.h"
#include "repair/RepairStage.h"

class TRepairProcedure {
 public:
  // The stages may be null (skipped); they must outlive the procedure.
  TRepairProcedure(TRepairHost& host, TRepairStage* dataRepair, TRepairStage* rebuild)
      : FHost(host), FDataRepair(dataRepair), FRebuild(rebuild) {}

  void Run(const std::string& folderText);

 private:
  bool Prepare(const TInstallPaths& paths);
  void Refuse(const std::string& message);
  void Stop(const std::string& message);
  std::optional<std::string> RunGuardedSteps(const TInstallPaths& paths);
  void RunGfixPasses(const TInstallPaths& paths);
  void RunTool(const std::string& commandLine);
  bool PutSafetyCopyBack(const TInstallPaths& paths);
  void Conclude(const TInstallPaths& paths, bool failed, bool originalInPlace);

  TRepairHost& FHost;
  TRepairStage* FDataRepair;
  TRepairStage* FRebuild;
  std::uint64_t FSafetyCopySize = 0;
};
