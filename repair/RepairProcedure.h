// The whole repair run by one press of Accept: safety copy, the two gfix
// passes, the data repair and rebuild stages, the guard that puts the safety
// copy back when a step fails, and the final check. One run at a time holds
// the folder's lock, from its first look at the files to its last word. A
// marker file stands beside the database from the moment the safety copy is
// complete until the database is sound again, so a run after an
// interruption puts the original back first.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "repair/InstallPaths.h"
#include "repair/RepairHost.h"
#include "repair/RepairMarker.h"
#include "repair/RepairStage.h"

class TMarkerRefresher;

class TRepairProcedure {
 public:
  // The stages may be null (skipped); they must outlive the procedure.
  TRepairProcedure(TRepairHost& host, TRepairStage* dataRepair, TRepairStage* rebuild);
  ~TRepairProcedure();

  void Run(const std::string& folderText);

 private:
  void RunLocked(const TInstallPaths& paths);
  bool Prepare(const TInstallPaths& paths);
  void Refuse(const std::string& message);
  void Stop(const std::string& message);
  std::optional<std::string> RunGuardedSteps(const TInstallPaths& paths);
  void EnterPhase(const TInstallPaths& paths, TRepairPhase phase);
  void RunGfixPasses(const TInstallPaths& paths);
  void RunTool(const std::string& commandLine);
  bool PutSafetyCopyBack(const TInstallPaths& paths);
  void Conclude(const TInstallPaths& paths, bool failed, bool originalInPlace);

  TRepairHost& FHost;
  TRepairStage* FDataRepair;
  TRepairStage* FRebuild;
  TRepairMarker FMarker;
  std::unique_ptr<TMarkerRefresher> FRefresher;
};
