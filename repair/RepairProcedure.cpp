#include "repair/RepairProcedure.h"

#include <exception>

#include "platform/FileLock.h"
#include "platform/Files.h"
#include "repair/FileSafety.h"
#include "repair/GfixSummary.h"
#include "repair/InterruptedRepair.h"
#include "repair/MarkerRefresher.h"
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
    if (marker->Phase != TRepairPhase::Completed) return UndoInterruptedRepair(FHost, paths, *marker);
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
  if (auto reason = TakeSafetyCopy(paths)) {
    Stop(*reason);
    return false;
  }
  FMarker.SafetyCopySize = platform::FileSize(paths.SafetyCopy).value_or(0);
  FMarker.SafetyCopyChecksum = platform::FileChecksum(paths.SafetyCopy);
  FMarker.Phase = TRepairPhase::Gfix;
  if (!FMarker.SafetyCopyChecksum) {
    Stop(texts::SafetyCopyUnreadable(paths.SafetyCopy));
    return false;
  }
  if (auto failure = WriteRepairMarker(paths, FMarker)) {
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

// The error text of the step that failed, or nothing.
std::optional<std::string> TRepairProcedure::RunGuardedSteps(const TInstallPaths& paths) {
  try {
    const auto beforeGfix = CountRowsForInformation(paths, texts::BeforeGfix);
    RunGfixPasses(paths);
    EnterPhase(paths, TRepairPhase::DataRepair);
    if (FDataRepair != nullptr) FDataRepair->Run(paths);
    EnterPhase(paths, TRepairPhase::Rebuild);
    const auto beforeBackup = CountRowsForInformation(paths, texts::BeforeBackup);
    if (beforeGfix && beforeBackup)
      for (const auto& removed : RowsLost(*beforeGfix, *beforeBackup))
        FHost.AddLog(texts::RowsRemovedByGfix(removed.Table, removed.Before, removed.After));
    if (FRebuild != nullptr) FRebuild->Run(paths);
    CheckNoRowsLost(paths, beforeBackup);
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

// The marker follows the repair; one that cannot be rewritten still marks a
// repair in progress, which is all a later run needs.
void TRepairProcedure::EnterPhase(const TInstallPaths& paths, TRepairPhase phase) {
  FMarker.Phase = phase;
  WriteRepairMarker(paths, FMarker);
}

// Counts that only inform: a database that cannot be counted here is said
// so in the log, and the repair goes on without them.
std::optional<TRowCounts> TRepairProcedure::CountRowsForInformation(const TInstallPaths& paths,
                                                                     const std::string& when) {
  if (FRowCounter == nullptr) return std::nullopt;
  try {
    return FRowCounter->Count(paths.Database);
  } catch (const std::exception& error) {
    FHost.AddLog(texts::RowsNotCounted(when, error.what()));
    return std::nullopt;
  }
}

// The restored database must be readable and hold every row of every table
// the backup was made from; its errors reach the guard.
void TRepairProcedure::CheckNoRowsLost(const TInstallPaths& paths, const std::optional<TRowCounts>& beforeBackup) {
  if (FRowCounter == nullptr || !beforeBackup || FRebuild == nullptr) return;
  const auto lost = RowsLost(*beforeBackup, FRowCounter->Count(paths.Database));
  if (lost.empty()) return;
  std::string text;
  for (const auto& table : lost)
    text += (text.empty() ? "" : "\r") + texts::RowsLostInRebuild(table.Table, table.Before, table.After);
  throw ERowsLost(text);
}

void TRepairProcedure::RunGfixPasses(const TInstallPaths& paths) {
  RunTool(GfixValidateCommand(paths), BoundFor("gfix -v", paths, ToolLimits));
  RunTool(GfixMendCommand(paths), BoundFor("gfix -mend", paths, ToolLimits));
}

// A pass that reports physical damage is summed up in the operator's words.
void TRepairProcedure::RunTool(const std::string& commandLine, const TToolBound& bound) {
  FHost.ProcessEvents();
  std::vector<std::string> output;
  RunLoggedTool(FHost, commandLine, bound, &output);
  const std::string summary = SummariseGfix(bound.Tool, output);
  if (!summary.empty()) FHost.AddLog(summary);
}

bool TRepairProcedure::PutSafetyCopyBack(const TInstallPaths& paths) {
  auto failure = PutSafetyCopyInPlace(paths, FMarker.SafetyCopySize.value_or(0));
  if (failure) FHost.AddLog(texts::CopyBackFailed(paths.SafetyCopy, texts::Reason(*failure)));
  return !failure;
}

// The last words of a run come after its last log line. The marker goes only
// when the database is sound: repaired, or the original again.
TRepairOutcome TRepairProcedure::Conclude(const TInstallPaths& paths, bool failed, bool originalInPlace) {
  FRefresher.reset();
  std::optional<std::string> markerStays;
  if (!failed || originalInPlace) markerStays = EndMarkedRepair(FHost, paths);
  if (!failed) {
    if (FRebuild != nullptr)
      FHost.ShowMessage(texts::RepairDone + (markerStays ? "\r" + *markerStays : "") + WhereTheLogIs());
    return TRepairOutcome::Done;
  }
  const std::string state = originalInPlace ? texts::DatabaseIsAsBefore(paths.SafetyCopy)
                                            : texts::OriginalIsInSafetyCopy(paths.SafetyCopy);
  FHost.AddLog(state);
  const std::string detail = FFailureDetail.empty() ? "" : "\r" + FFailureDetail;
  FHost.ShowMessage(texts::RepairFailedBox(state) + detail + (markerStays ? "\r" + *markerStays : "") + WhereTheLogIs());
  return originalInPlace ? TRepairOutcome::FailedAsBefore : TRepairOutcome::FailedOriginalInSafetyCopy;
}
