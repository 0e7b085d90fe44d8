// The whole repair run by one press of Accept: safety copy, the two gfix
// passes, the data repair and rebuild stages, the guard that puts the safety
// copy back when a step fails, and the final check.
#pragma once

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
  void Refuse(const std::string& message);
  void RunGuardedSteps(const TInstallPaths& paths);
  void RunGfixPasses(const TInstallPaths& paths);
  void RunTool(const std::string& commandLine);
  void Recover(const TInstallPaths& paths, const std::string& errorText);
  void PutSafetyCopyBack(const TInstallPaths& paths);
  void FinalCheck(const TInstallPaths& paths);

  TRepairHost& FHost;
  TRepairStage* FDataRepair;
  TRepairStage* FRebuild;
};
