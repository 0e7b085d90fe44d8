#include "repair/RepairProcedure.h"

#include <exception>

#include "platform/Files.h"
#include "repair/FileSafety.h"
#include "repair/InterruptedRepair.h"
#include "repair/RepairMarker.h"
#include "repair/RepairTexts.h"
#include "repair/ToolCommands.h"

void TRepairProcedure::Run(const std::string& folderText) {
  const TInstallPaths paths = TInstallPaths::FromFolderText(folderText);
  RemoveCopyLeftovers(paths);
  if (auto marker = ReadRepairMarker(paths)) {
    UndoInterruptedRepair(FHost, paths, *marker);
    return;
  }
  if (!Prepare(paths)) return;

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
  Conclude(paths, failed, originalInPlace);
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
  FSafetyCopySize = platform::FileSize(paths.SafetyCopy).value_or(0);
  if (auto failure = WriteRepairMarker(paths, FSafetyCopySize)) {
    Stop(texts::MarkerNotWritten(paths.RepairMarker, texts::Reason(*failure)));
    return false;
  }
  return true;
}

void TRepairProcedure::Refuse(const std::string& message) {
  FHost.ShowMessage(message);
  FHost.FocusFolderBox();
}

void TRepairProcedure::Stop(const std::string& message) {
  FHost.AddLog(message);
  FHost.ShowMessage(message);
}

// The error text of the step that failed, or nothing.
std::optional<std::string> TRepairProcedure::RunGuardedSteps(const TInstallPaths& paths) {
  try {
    RunGfixPasses(paths);
    if (FDataRepair != nullptr) FDataRepair->Run(paths);
    if (FRebuild != nullptr) FRebuild->Run(paths);
    return std::nullopt;
  } catch (const std::exception& error) {
    return std::string(error.what());
  } catch (...) {
    return texts::UnknownError();
  }
}

void TRepairProcedure::RunGfixPasses(const TInstallPaths& paths) {
  RunTool(GfixValidateCommand(paths));
  RunTool(GfixMendCommand(paths));
}

void TRepairProcedure::RunTool(const std::string& commandLine) {
  FHost.ProcessEvents();
  RunLoggedTool(FHost, commandLine);
}

bool TRepairProcedure::PutSafetyCopyBack(const TInstallPaths& paths) {
  auto failure = PutSafetyCopyInPlace(paths, FSafetyCopySize);
  if (failure) FHost.AddLog(texts::CopyBackFailed(paths.SafetyCopy, texts::Reason(*failure)));
  return !failure;
}

// The last words of a run come after its last log line. The marker goes only
// when the database is sound: repaired, or the original again.
void TRepairProcedure::Conclude(const TInstallPaths& paths, bool failed, bool originalInPlace) {
  if (!failed || originalInPlace) EndMarkedRepair(FHost, paths);
  if (!failed) {
    if (FRebuild != nullptr) FHost.ShowMessage(texts::RepairDone);
    return;
  }
  const std::string state = originalInPlace ? texts::DatabaseIsAsBefore(paths.SafetyCopy)
                                            : texts::OriginalIsInSafetyCopy(paths.SafetyCopy);
  FHost.AddLog(state);
  FHost.ShowMessage(texts::RepairFailedBox(state));
}
