#include "repair/RebuildStage.h"

#include "platform/Exception.h"
#include "platform/Files.h"
#include "repair/RepairTexts.h"
#include "repair/RestoreScript.h"
#include "repair/ToolCommands.h"
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
  if (auto failure = platform::SyncFile(paths.Database))
    throw Exception(texts::FlushFailed(paths.Database, texts::Reason(*failure)));
}

// The database is deleted only after gbak has ended well and left a backup.
void TRebuildStage::Backup(const TInstallPaths& paths) {
  FHost.ProcessEvents();
  const std::uint32_t exitCode = RunLoggedTool(FHost, GbakBackupCommand(paths));
  FHost.ProcessEvents();
  if (exitCode != 0) throw Exception(texts::BackupFailed(exitCode));
  if (platform::FileSize(paths.Backup).value_or(0) == 0) throw Exception(texts::BackupMissing(paths.Backup));
}
