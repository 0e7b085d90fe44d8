#include "repair/RepairProcedure.h"

#include <algorithm>
#include <exception>

#include "platform/Clock.h"
#include "platform/Exception.h"
#include "platform/FileLock.h"
#include "platform/Files.h"
#include "repair/FileSafety.h"
#include "repair/GfixSummary.h"
#include "repair/InterruptedRepair.h"
#include "repair/MarkerRefresher.h"
#include "repair/PhaseTimes.h"
#include "repair/RepairTexts.h"
#include "repair/SavedLog.h"
#include "repair/ToolCommands.h"

namespace {

bool Missing(const std::string& path) { return platform::KindOfFile(path) == platform::TFileKind::Missing; }

// The database's owner and bits for the lock file; read-write for its owner
// where the database cannot be read.
platform::TFileOwnership LockOwnership(const TInstallPaths& paths) {
  return platform::OwnershipOf(paths.Database).value_or(platform::TFileOwnership{0, 0, 0600});
}

// The folder the operator named, or its DATA folder, may be what is missing
// (the paths end with a separator, so a link to a folder counts as one).
std::string NothingToRepair(const TInstallPaths& paths) {
  using platform::TFileKind;
  if (platform::KindOfFile(paths.Root) != TFileKind::Directory) return texts::FolderMissing(paths.Root);
  if (platform::KindOfFile(paths.DataFolder) != TFileKind::Directory) return texts::FolderMissing(paths.DataFolder);
  return texts::DatabaseMissing(paths.Database);
}

}  // namespace

TRepairProcedure::TRepairProcedure(TRepairHost& host, TRepairStage* dataRepair, TRepairStage* rebuild,
                                   TSavedLog* savedLog, TRowCounter* rowCounter)
    : FHost(host), FDataRepair(dataRepair), FRebuild(rebuild), FSavedLog(savedLog), FRowCounter(rowCounter) {}

TRepairProcedure::~TRepairProcedure() = default;

// Nothing is created in a folder without a database or a marker.
TRepairOutcome TRepairProcedure::Run(const std::string& folderText) {
  TPhaseTimes::OfThisRun().Reset();
  const TInstallPaths paths = TInstallPaths::FromFolderText(folderText);
  if (Missing(paths.Database) && Missing(paths.RepairMarker)) return Refuse(NothingToRepair(paths));
  platform::TFileLock lock(paths.RunLock, LockOwnership(paths));
  switch (lock.State()) {
    case platform::TFileLock::TState::Taken: {
      StartSavedLog(paths);
      const TRepairOutcome outcome = RunLocked(paths);
      if (FSavedLog != nullptr) FSavedLog->Stop();
      return outcome;
    }
    case platform::TFileLock::TState::HeldElsewhere: return Refuse(texts::FolderBeingRepaired(paths.DataFolder));
    case platform::TFileLock::TState::Failed:
      return Refuse(texts::RunLockFailed(paths.RunLock, texts::Reason(lock.Failure())));
  }
  return TRepairOutcome::Refused;
}

void TRepairProcedure::StartSavedLog(const TInstallPaths& paths) {
  if (FSavedLog == nullptr) return;
  if (auto failure = FSavedLog->Start(paths, LockOwnership(paths))) FHost.AddLog(*failure);
}

// A line for the done and failure boxes, or nothing without a saved log.
std::string TRepairProcedure::WhereTheLogIs() const {
  if (FSavedLog == nullptr || !FSavedLog->IsOpen()) return "";
  return "\r" + texts::SavedLogAt(FSavedLog->Path());
}

TRepairOutcome TRepairProcedure::RunLocked(const TInstallPaths& paths) {
  if (auto reason = CheckRepairFiles(paths)) return Refuse(*reason);
  RemoveCopyLeftovers(paths);
  if (auto marker = ReadRepairMarker(paths)) {
    if (marker->Phase != TRepairPhase::Completed) {
      if (MarkerOfALiveRun(paths, *marker)) return Refuse(texts::MarkerOfALiveRun(paths.DataFolder));
      return UndoInterruptedRepair(FHost, paths, *marker);
    }
    if (!RemoveRepairMarker(paths)) FHost.AddLog(texts::CompletedMarkerRemoved(paths.RepairMarker));
  }
  if (!Prepare(paths)) return TRepairOutcome::Refused;

  bool failed = false;
  bool originalInPlace = false;
  if (auto error = RunGuardedSteps(paths)) {
    FHost.AddLog(*error);
    failed = true;
    originalInPlace = PutSafetyCopyBack(paths);
  }
  if (!platform::FileExists(paths.Database)) {
    FHost.AddLog(texts::RepairFailed);
    failed = true;
    originalInPlace = PutSafetyCopyBack(paths);
  }
  return Conclude(paths, failed, originalInPlace);
}

// Under the lock a marker is the mark of a repair that died. But on a share
// whose byte-range locks may hold on one computer only (NFS "nolock", CIFS
// "nobrl"), a live run on another computer goes unseen by the lock: its
// marker, refreshed every MarkerRefreshSeconds, gives it away. One stamped
// within the last minute (or ahead of this computer's clock) is taken for a
// live run; an older one is watched for a refresh, since the other
// computer's clock may run behind.
bool TRepairProcedure::MarkerOfALiveRun(const TInstallPaths& paths, const TRepairMarker& marker) {
  if (!LocksMayBeHostLocal.value_or(platform::OnNetworkFileSystem(paths.DataFolder))) return false;
  if (!marker.LastSignOfLife) return false;
  if (*marker.LastSignOfLife >= platform::NowSeconds() - LiveMarkerSeconds) return true;
  FHost.AddLog(texts::WatchingForALiveRun(paths.RepairMarker));
  const std::uint64_t end = platform::SteadyMilliseconds() + LiveMarkerWatchSeconds * 1000ull;
  while (platform::SteadyMilliseconds() < end) {
    FHost.ProcessEvents();
    platform::SleepMilliseconds(LiveMarkerLookMilliseconds);
    if (platform::ModificationTime(paths.RepairMarker) != marker.LastSignOfLife) return true;
  }
  return false;
}

// The checks, the safety copy and the marker: nothing of the database is
// changed unless all of them succeed.
bool TRepairProcedure::Prepare(const TInstallPaths& paths) {
  if (!platform::FileExists(paths.Database)) {
    Refuse(texts::DatabaseMissing(paths.Database));
    return false;
  }
  if (auto reason = CheckRepairCanStart(paths)) {
    Refuse(*reason);
    return false;
  }
  if (auto reason = Timed(TPhase::SafetyCopy, [&] { return TakeSafetyCopy(paths); })) {
    Stop(*reason);
    return false;
  }
  FMarker.SafetyCopySize = platform::FileSize(paths.SafetyCopy).value_or(0);
  FMarker.SafetyCopyChecksum = Timed(TPhase::Checksum, [&] { return platform::FileChecksum(paths.SafetyCopy); });
  FMarker.Phase = TRepairPhase::Gfix;
  if (!FMarker.SafetyCopyChecksum) {
    Stop(texts::SafetyCopyUnreadable(paths.SafetyCopy));
    return false;
  }
  if (auto failure = WriteMarker(paths)) {
    Stop(texts::MarkerNotWritten(paths.RepairMarker, texts::Reason(*failure)));
    return false;
  }
  FRefresher = std::make_unique<TMarkerRefresher>(paths.RepairMarker, MarkerRefreshSeconds);
  return true;
}

TRepairOutcome TRepairProcedure::Refuse(const std::string& message) {
  FHost.ShowMessage(message);
  FHost.FocusFolderBox();
  return TRepairOutcome::Refused;
}

// Before any change to the database.
TRepairOutcome TRepairProcedure::Stop(const std::string& message) {
  FHost.AddLog(message);
  FHost.ShowMessage(message);
  return TRepairOutcome::Refused;
}

// The error text of the step that failed, or nothing. Where validation found
// physical damage the statements never write into the damaged file: the
// rebuild comes first and they run on the rebuilt database.
std::optional<std::string> TRepairProcedure::RunGuardedSteps(const TInstallPaths& paths) {
  try {
    const auto beforeGfix = CountRowsForInformation(paths, texts::BeforeGfix);
    RecordDatabaseState(paths);
    const bool damaged = RunGfixPasses(paths);
    if (!damaged) RunDataRepair(paths);
    else FHost.AddLog(texts::RebuildingBeforeDataRepair);
    EnterPhase(paths, TRepairPhase::Rebuild);
    const auto beforeBackup = ReferenceCounts(paths, beforeGfix, damaged);
    if (beforeGfix && beforeBackup)
      for (const auto& removed : RowsLost(*beforeGfix, *beforeBackup))
        FHost.AddLog(texts::RowsRemovedByGfix(removed.Table, removed.Before, removed.After));
    if (FRebuild != nullptr) FRebuild->Run(paths);
    RecordDatabaseState(paths);
    CheckNoRowsLost(paths, beforeBackup);
    RecordDatabaseState(paths);
    if (damaged && FRebuild != nullptr) RunDataRepair(paths);
    return std::nullopt;
  } catch (const ERowsLost& error) {
    FFailureDetail = error.what();
    return FFailureDetail;
  } catch (const std::exception& error) {
    return std::string(error.what());
  } catch (...) {
    return texts::UnknownError();
  }
}

void TRepairProcedure::RunDataRepair(const TInstallPaths& paths) {
  EnterPhase(paths, TRepairPhase::DataRepair);
  if (FDataRepair != nullptr) FDataRepair->Run(paths);
}

// The marker follows the repair; one that cannot be rewritten still marks a
// repair in progress, which is all a later run needs (it is then only more
// careful about what it may replace).
void TRepairProcedure::EnterPhase(const TInstallPaths& paths, TRepairPhase phase) {
  StopIfAsked(FHost, PhaseName(phase));
  FMarker.Phase = phase;
  RecordDatabaseState(paths);
}

// After each step that wrote the database (every attach writes its header
// page), the marker learns the state the repair left it in.
void TRepairProcedure::RecordDatabaseState(const TInstallPaths& paths) {
  if (const auto state = Timed(TPhase::Checksum, [&] { return DatabaseStateOf(paths.Database); })) {
    auto& states = FMarker.DatabaseStates;
    if (std::find(states.begin(), states.end(), *state) == states.end()) states.push_back(*state);
  }
  WriteMarker(paths);
}

platform::TFileResult TRepairProcedure::WriteMarker(const TInstallPaths& paths) {
  return Timed(TPhase::Marker, [&] { return WriteRepairMarker(paths, FMarker); });
}

// Counts that only inform: a database that cannot be counted here is said
// so in the log, and the repair goes on without them.
std::optional<TRowCounts> TRepairProcedure::CountRowsForInformation(const TInstallPaths& paths,
                                                                     const std::string& when) {
  if (FRowCounter == nullptr) return std::nullopt;
  const TTimedPhase timed(TPhase::Counts);
  try {
    return FRowCounter->Count(paths.Database);
  } catch (const ERepairStopped&) {
    throw;
  } catch (const std::exception& error) {
    FHost.AddLog(texts::RowsNotCounted(when, error.what()));
    return std::nullopt;
  }
}

// The counts the rebuild is checked against. Where validation found nothing,
// gfix's mend removed nothing and no statement removes a row, so a whole
// count taken before gfix is the reference: stricter than a second count,
// since it would also catch a row lost on the way to the backup. After
// damage, or without a whole first count, the tables are counted again.
std::optional<TRowCounts> TRepairProcedure::ReferenceCounts(const TInstallPaths& paths,
                                                           const std::optional<TRowCounts>& beforeGfix, bool damaged) {
  if (beforeGfix && UnreadableTables(*beforeGfix).empty() && !damaged) return beforeGfix;
  auto counts = CountRowsForInformation(paths, texts::BeforeBackup);
  RecordDatabaseState(paths);
  return counts;
}

// The restored database must be readable and hold every row of every table
// the backup was made from; its errors reach the guard. What was not
// counted before the backup cannot be checked: the run then cannot end in
// plain "done", and FRowsNotVerified says why.
void TRepairProcedure::CheckNoRowsLost(const TInstallPaths& paths, const std::optional<TRowCounts>& beforeBackup) {
  if (FRowCounter == nullptr || FRebuild == nullptr) return;
  const TRowCounts after = Timed(TPhase::Counts, [&] { return FRowCounter->Count(paths.Database); });
  if (!beforeBackup) return NotVerified(texts::RowsNotVerified({}));
  const auto lost = RowsLost(*beforeBackup, after);
  if (!lost.empty()) {
    std::string text;
    for (const auto& table : lost)
      text += (text.empty() ? "" : "\r") + texts::RowsLostInRebuild(table.Table, table.Before, table.After);
    throw ERowsLost(text);
  }
  const auto uncounted = UnreadableTables(*beforeBackup);
  if (!uncounted.empty()) NotVerified(texts::RowsNotVerified(uncounted));
}

void TRepairProcedure::NotVerified(const std::string& why) {
  FHost.AddLog(why);
  FRowsNotVerified = why;
}

// True when a pass found physical damage. A pass stopped for being past its
// bound may have written anything into the file: its work is undone by
// putting the original back, and the rebuild reads the original.
bool TRepairProcedure::RunGfixPasses(const TInstallPaths& paths) {
  bool damaged = false;
  for (const auto& [tool, command] : {std::pair{std::string("gfix -v"), GfixValidateCommand},
                                      std::pair{std::string("gfix -mend"), GfixMendCommand}}) {
    try {
      damaged = RunTool(ToolRunFor(paths, command), BoundFor(tool, paths, ToolLimits)) || damaged;
      RecordDatabaseState(paths);
    } catch (const EToolStopped& stopped) {
      FHost.AddLog(stopped.what());
      if (auto error = CopySafetyCopyBack(paths)) throw Exception(*error);
      FHost.AddLog(texts::ToolResultDiscarded(tool, paths.SafetyCopy));
      return true;
    }
  }
  return damaged;
}

// A pass that reports physical damage is summed up in the operator's words.
bool TRepairProcedure::RunTool(const TToolRun& run, const TToolBound& bound) {
  FHost.ProcessEvents();
  std::vector<std::string> output;
  const std::uint32_t exitCode = Timed(TPhase::Gfix, [&] { return RunLoggedTool(FHost, run, bound, &output); });
  const std::string summary = SummariseGfix(bound.Tool, output, exitCode);
  if (!summary.empty()) FHost.AddLog(summary);
  return !summary.empty();
}

// Why the original could not be put back, or nothing once it is in place.
std::optional<std::string> TRepairProcedure::CopySafetyCopyBack(const TInstallPaths& paths) const {
  auto failure = PutSafetyCopyInPlace(paths, FMarker.SafetyCopySize.value_or(0));
  if (!failure) return std::nullopt;
  return texts::CopyBackFailed(paths.SafetyCopy, paths.Database, texts::Reason(*failure));
}

bool TRepairProcedure::PutSafetyCopyBack(const TInstallPaths& paths) {
  const auto error = CopySafetyCopyBack(paths);
  if (error) FHost.AddLog(*error);
  return !error;
}

// The last words of a run come after its last log line. The marker goes only
// when the database is sound: repaired, or the original again.
TRepairOutcome TRepairProcedure::Conclude(const TInstallPaths& paths, bool failed, bool originalInPlace) {
  FRefresher.reset();
  std::optional<std::string> markerStays;
  if (!failed || originalInPlace) markerStays = EndMarkedRepair(FHost, paths);
  if (!failed) {
    const auto indexesOff = FRebuild != nullptr ? FRebuild->IndexesLeftOff() : std::vector<std::string>{};
    const std::string after = (markerStays ? "\r" + *markerStays : "") + WhereTheLogIs();
    if (FRowsNotVerified) {
      FHost.ShowMessage(texts::RepairDoneRowsNotVerifiedBox(*FRowsNotVerified, indexesOff, paths.SafetyCopy) + after);
      return TRepairOutcome::DoneRowsNotVerified;
    }
    if (!indexesOff.empty()) {
      FHost.ShowMessage(texts::RepairDoneIndexesOffBox(indexesOff, paths.SafetyCopy) + after);
      return TRepairOutcome::DoneIndexesOff;
    }
    if (FRebuild != nullptr) FHost.ShowMessage(texts::RepairDone + after);
    return TRepairOutcome::Done;
  }
  const std::string state = originalInPlace ? texts::DatabaseIsAsBefore(paths.SafetyCopy)
                                            : texts::OriginalIsInSafetyCopy(paths.SafetyCopy);
  FHost.AddLog(state);
  const std::string detail = FFailureDetail.empty() ? "" : "\r" + FFailureDetail;
  FHost.ShowMessage(texts::RepairFailedBox(state) + detail + (markerStays ? "\r" + *markerStays : "") + WhereTheLogIs());
  return originalInPlace ? TRepairOutcome::FailedAsBefore : TRepairOutcome::FailedOriginalInSafetyCopy;
}
