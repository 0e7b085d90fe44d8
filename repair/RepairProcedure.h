// The whole repair run by one press of Accept: safety copy, the two gfix
// passes, the data repair and rebuild stages, the guard that puts the safety
// copy back when a step fails, and the final check. One run at a time holds
// the folder's lock, from its first look at the files to its last word. A
// marker file stands beside the database from the moment the safety copy is
// complete until the database is sound again, so a run after an
// interruption puts the original back first.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "repair/InstallPaths.h"
#include "repair/RepairHost.h"
#include "repair/RepairMarker.h"
#include "repair/RepairOutcome.h"
#include "repair/RepairStage.h"
#include "repair/RowCounts.h"
#include "repair/ToolCommands.h"
#include "repair/ToolWatch.h"

class TMarkerRefresher;
class TSavedLog;

class TRepairProcedure {
 public:
  // The stages may be null (skipped); they must outlive the procedure. A
  // saved log, when given, is started once the run holds the folder; the
  // host writes into it.
  // A row counter, when given, counts every table before the gfix passes,
  // before the backup (where validation found damage, or the first count
  // was not whole) and after the restore: a table with fewer rows after the
  // restore fails the repair, and one that could not be counted before the
  // backup ends it as DoneRowsNotVerified, never as Done.
  TRepairProcedure(TRepairHost& host, TRepairStage* dataRepair, TRepairStage* rebuild, TSavedLog* savedLog = nullptr,
                   TRowCounter* rowCounter = nullptr);
  ~TRepairProcedure();

  TRepairOutcome Run(const std::string& folderText);

  TToolLimits ToolLimits;  // the bound on the gfix passes

  // Whether the folder's byte-range locks may hold on this computer alone;
  // nothing: a network file system is taken to be such.
  std::optional<bool> LocksMayBeHostLocal;
  // How long a marker found there is watched for a live run's refresh.
  unsigned LiveMarkerWatchSeconds = MarkerRefreshSeconds + 5;
  static constexpr std::int64_t LiveMarkerSeconds = 60;
  static constexpr unsigned LiveMarkerLookMilliseconds = 250;

 private:
  TRepairOutcome RunLocked(const TInstallPaths& paths);
  bool MarkerOfALiveRun(const TInstallPaths& paths, const TRepairMarker& marker);
  void StartSavedLog(const TInstallPaths& paths);
  std::string WhereTheLogIs() const;
  bool Prepare(const TInstallPaths& paths);
  TRepairOutcome Refuse(const std::string& message);
  TRepairOutcome Stop(const std::string& message);
  std::optional<std::string> RunGuardedSteps(const TInstallPaths& paths);
  void EnterPhase(const TInstallPaths& paths, TRepairPhase phase);
  void RecordDatabaseState(const TInstallPaths& paths);
  platform::TFileResult WriteMarker(const TInstallPaths& paths);
  bool RunGfixPasses(const TInstallPaths& paths);
  void RunDataRepair(const TInstallPaths& paths);
  std::optional<TRowCounts> CountRowsForInformation(const TInstallPaths& paths, const std::string& when);
  std::optional<TRowCounts> ReferenceCounts(const TInstallPaths& paths, const std::optional<TRowCounts>& beforeGfix,
                                            bool damaged);
  void CheckNoRowsLost(const TInstallPaths& paths, const std::optional<TRowCounts>& beforeBackup);
  void NotVerified(const std::string& why);
  bool RunTool(const TToolRun& run, const TToolBound& bound);
  std::optional<std::string> CopySafetyCopyBack(const TInstallPaths& paths) const;
  bool PutSafetyCopyBack(const TInstallPaths& paths);
  TRepairOutcome Conclude(const TInstallPaths& paths, bool failed, bool originalInPlace);

  TRepairHost& FHost;
  TRepairStage* FDataRepair;
  TRepairStage* FRebuild;
  TSavedLog* FSavedLog;
  TRowCounter* FRowCounter;
  std::string FFailureDetail;  // for the failure box, beside the database's state
  std::optional<std::string> FRowsNotVerified;  // why the rebuild's rows could not all be checked
  TRepairMarker FMarker;
  std::unique_ptr<TMarkerRefresher> FRefresher;
};
