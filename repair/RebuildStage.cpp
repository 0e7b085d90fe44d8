#include "repair/RebuildStage.h"

#include "platform/Exception.h"
#include "platform/Files.h"
#include "repair/RepairTexts.h"
#include "repair/RestoreScript.h"
#include "repair/ToolCommands.h"
#include "tools/ConsoleTool.h"
#include "tools/ScriptEngineComponent.h"

void TRebuildStage::Run(const TInstallPaths& paths) {
  if (platform::FileExists(paths.Backup)) platform::DeleteFile(paths.Backup);
  Backup(paths);
  if (platform::FileExists(paths.Database)) platform::DeleteFile(paths.Database);

  FEngine.Script().SetText(BuildRestoreScript(paths, FProgramFolder));
  FEngine.ExecuteScript();
  // The engine's restore checks that the new database is online; a script
  // error or a missing file means the rebuild must not count as done.
  if (FEngine.LastScriptFailed() || !platform::FileExists(paths.Database)) throw Exception(texts::RepairFailed);
  FHost.ShowMessage(texts::RepairDone);
}

void TRebuildStage::Backup(const TInstallPaths& paths) {
  FHost.ProcessEvents();
  RunConsoleTool(GbakBackupCommand(paths), [this](const std::string& line) { FHost.AddLog(line); }, false, nullptr, "");
  FHost.ProcessEvents();
}
