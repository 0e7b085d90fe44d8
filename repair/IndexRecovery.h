// A restore that leaves the database shut down because indexes could not be
// activated (duplicate keys a damaged unique index hid, foreign keys whose
// parent rows the damage destroyed) is finished as a Firebird expert would:
// the database is brought online, each inactive index is tried, duplicate
// keys of the repair's own tables are renamed and their index tried again.
// What still cannot be activated is named with its offending keys.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "repair/InstallPaths.h"
#include "repair/RepairHost.h"
#include "repair/RepairStage.h"
#include "repair/ToolWatch.h"

class TDbConnection;

class TIndexRecovery {
 public:
  // programFolder ends with the separator; duplicateKeys renames duplicated
  // keys of DMDTTT, DM and BLUONG (may be null).
  TIndexRecovery(TRepairHost& host, std::string programFolder, TRepairStage* duplicateKeys)
      : FHost(host), FProgramFolder(std::move(programFolder)), FDuplicateKeys(duplicateKeys) {}

  // True when the database was shut down with inactive indexes and is online
  // now; false, with nothing changed, for any other state.
  bool Recover(const TInstallPaths& paths, const TToolLimits& limits);

  // A restore that went well brings back an index as inactive as it was in
  // the backup (an earlier run's indexes-off end, a hand that turned it
  // off): each is tried as after a failed restore, and what stays off named.
  void FinishInactiveIndexes(const TInstallPaths& paths);

  // True when the restore's lines say it left the database offline because
  // indexes could not be activated, and report no other error: only such a
  // restore is this recovery's business (one that gave up before the
  // procedures, triggers or constraints leaves a shut-down file too).
  static bool RestoreLeftOnlyIndexesOff(const std::vector<std::string>& restoreLines);

  // "INDEX (TABLE)" for every index the last recovery left inactive.
  const std::vector<std::string>& IndexesLeftOff() const { return FLeftOff; }
  // A new run starts with nothing left off.
  void Forget() { FLeftOff.clear(); }

  struct TIndex {
    std::string Name, Table;
    bool Unique = false;
  };
  using TFailedIndex = std::pair<TIndex, std::string>;  // with the server's error

 private:
  void OpenConnection(TDbConnection& connection, const TInstallPaths& paths) const;
  std::vector<TIndex> InactiveIndexes(const TInstallPaths& paths, bool shutDownOnly) const;
  void ActivateAndReport(const TInstallPaths& paths, const std::vector<TIndex>& inactive);
  bool BringOnline(const TInstallPaths& paths, const TToolLimits& limits);
  std::vector<TFailedIndex> Activate(const TInstallPaths& paths, const std::vector<TIndex>& indexes);
  void ReportLeftOff(const TInstallPaths& paths, const std::vector<TFailedIndex>& failed);
  std::vector<std::string> OffendingKeys(TDbConnection& connection, const TIndex& index, const std::string& error) const;

  TRepairHost& FHost;
  std::string FProgramFolder;
  TRepairStage* FDuplicateKeys;
  std::vector<std::string> FLeftOff;
};
