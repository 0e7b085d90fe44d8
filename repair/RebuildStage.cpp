#include "repair/RebuildStage.h"

#include <exception>

#include "platform/Exception.h"
#include "platform/Files.h"
#include "repair/RepairTexts.h"
#include "repair/RestoreScript.h"
#include "repair/ToolCommands.h"
#include "tools/ScriptEngineComponent.h"

namespace {

// The safety copy carries the original database's owner, group and bits.
platform::TFileOwnership OriginalOwnership(const TInstallPaths& paths) {
  return platform::OwnershipOf(paths.SafetyCopy).value_or(platform::TFileOwnership{0, 0, 0600});
}

// The empty file made for gbak goes when gbak wrote nothing into it.
void RemoveEmptyBackup(const TInstallPaths& paths) {
  if (platform::FileSize(paths.Backup) == 0u) platform::DeleteFile(paths.Backup);
}

void Require(const platform::TFileResult& result, const std::string& path) {
  if (result) throw Exception(texts::FileNotPrepared(path, texts::Reason(*result)));
}

}  // namespace

void TRebuildStage::Run(const TInstallPaths& paths) {
  const platform::TFileOwnership original = OriginalOwnership(paths);
  if (platform::KindOfFile(paths.Backup) != platform::TFileKind::Missing) platform::DeleteFile(paths.Backup);
  Require(platform::CreateNewFile(paths.Backup, original), paths.Backup);
  Backup(paths);
  if (platform::FileExists(paths.Database)) platform::DeleteFile(paths.Database);

  FEngine.Script().SetText(BuildRestoreScript(paths, FProgramFolder));
  FEngine.ExecuteScript();
  // The engine's restore checks that the new database is online; a script
  // error or a missing file means the rebuild must not count as done.
  if (FEngine.LastScriptFailed() || !platform::FileExists(paths.Database)) throw Exception(texts::RepairFailed);
  Require(platform::ApplyOwnership(paths.Database, original), paths.Database);
  if (auto failure = platform::SyncFile(paths.Database))
    throw Exception(texts::FlushFailed(paths.Database, texts::Reason(*failure)));
}

// The database is deleted only after gbak has ended well and left a backup.
void TRebuildStage::Backup(const TInstallPaths& paths) {
  FHost.ProcessEvents();
  const TToolBound bound = BoundFor("gbak -b", paths, ToolLimits);
  std::uint32_t exitCode;
  try {
    exitCode = RunLoggedTool(FHost, GbakBackupCommand(paths), bound);
  } catch (const EToolStopped&) {
    platform::DeleteFile(paths.Backup);  // a partial backup, perhaps a huge one
    throw;
  } catch (const std::exception&) {
    RemoveEmptyBackup(paths);
    throw;
  }
  FHost.ProcessEvents();
  if (exitCode != 0) {
    RemoveEmptyBackup(paths);
    throw Exception(texts::BackupFailed(exitCode));
  }
  if (platform::KindOfFile(paths.Backup) != platform::TFileKind::Regular) throw Exception(texts::NotARegularFile(paths.Backup));
  if (platform::FileSize(paths.Backup).value_or(0) == 0) throw Exception(texts::BackupMissing(paths.Backup));
}
