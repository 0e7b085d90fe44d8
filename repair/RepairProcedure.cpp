#include "repair/RepairProcedure.h"

#include <exception>

#include "platform/Files.h"
#include "repair/FileSafety.h"
#include "repair/RepairTexts.h"
#include "repair/ToolCommands.h"
#include "tools/ConsoleTool.h"

void TRepairProcedure::Run(const std::string& folderText) {
  const TInstallPaths paths = TInstallPaths::FromFolderText(folderText);
  if (!platform::FileExists(paths.Database)) {
    Refuse(texts::DatabaseMissing(paths.Database));
    return;
  }
  if (auto reason = CheckRepairCanStart(paths)) {
    Refuse(*reason);
    return;
  }
  if (auto reason = TakeSafetyCopy(paths)) {
    FHost.AddLog(*reason);
    FHost.ShowMessage(*reason);
    return;
  }
  RunGuardedSteps(paths);
  FinalCheck(paths);
}

void TRepairProcedure::Refuse(const std::string& message) {
  FHost.ShowMessage(message);
  FHost.FocusFolderBox();
}

void TRepairProcedure::RunGuardedSteps(const TInstallPaths& paths) {
  try {
    RunGfixPasses(paths);
    if (FDataRepair != nullptr) FDataRepair->Run(paths);
    if (FRebuild != nullptr) FRebuild->Run(paths);
  } catch (const std::exception& error) {
    Recover(paths, error.what());
  } catch (...) {
    Recover(paths, texts::UnknownError());
  }
}

// The operator always learns how a run ended: the database is the safety
// copy again, and a box says that the repair failed.
void TRepairProcedure::Recover(const TInstallPaths& paths, const std::string& errorText) {
  FHost.AddLog(errorText);
  PutSafetyCopyBack(paths);
  FHost.ShowMessage(texts::RepairFailed);
}

void TRepairProcedure::RunGfixPasses(const TInstallPaths& paths) {
  RunTool(GfixValidateCommand(paths));
  RunTool(GfixMendCommand(paths));
}

void TRepairProcedure::RunTool(const std::string& commandLine) {
  FHost.ProcessEvents();
  RunConsoleTool(commandLine, [this](const std::string& line) { FHost.AddLog(line); }, false, nullptr, "");
}

void TRepairProcedure::PutSafetyCopyBack(const TInstallPaths& paths) {
  if (auto failure = RestoreSafetyCopy(paths)) FHost.AddLog(*failure);
}

void TRepairProcedure::FinalCheck(const TInstallPaths& paths) {
  if (platform::FileExists(paths.Database)) return;
  FHost.AddLog(texts::RepairFailed);
  PutSafetyCopyBack(paths);
}
