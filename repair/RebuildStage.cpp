#include "repair/RebuildStage.h"

#include <cctype>
#include <exception>

#include "platform/Cleanup.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "repair/IndexRecovery.h"
#include "repair/PhaseTimes.h"
#include "repair/RepairTexts.h"
#include "repair/RowCounts.h"
#include "repair/RestoreScript.h"
#include "repair/ToolCommands.h"
#include "tools/ConsoleTool.h"
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

// gbak's -skip_data takes a pattern: only names that mean themselves in one.
bool PlainName(const std::string& table) {
  if (table.empty()) return false;
  for (char c : table)
    if (!(std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '_' || c == '$'))
      return false;
  return true;
}

void Require(const platform::TFileResult& result, const std::string& path) {
  if (result) throw Exception(texts::FileNotPrepared(path, texts::Reason(*result)));
}

// An empty backup file made anew, exclusively, with the original's owner:
// gbak opens it without truncating it.
void PrepareBackupFile(const TInstallPaths& paths, const platform::TFileOwnership& original) {
  if (platform::KindOfFile(paths.Backup) != platform::TFileKind::Missing) platform::DeleteFile(paths.Backup);
  Require(platform::CreateNewFile(paths.Backup, original), paths.Backup);
}

}  // namespace

void TRebuildStage::Run(const TInstallPaths& paths) {
  if (FIndexRecovery != nullptr) FIndexRecovery->Forget();
  const platform::TFileOwnership original = OriginalOwnership(paths);
  PrepareBackupFile(paths, original);
  {
    const TTimedPhase timed(TPhase::Backup);
    Backup(paths, original);
  }
  StopIfAsked(FHost, "gbak -b");
  if (platform::FileExists(paths.Database)) platform::DeleteFile(paths.Database);
  const TTimedPhase timed(TPhase::Restore);
  Restore(paths);
  Require(platform::ApplyOwnership(paths.Database, original), paths.Database);
  if (auto failure = platform::SyncFile(paths.Database))
    throw Exception(texts::FlushFailed(paths.Database, texts::Reason(*failure)));
}

std::vector<std::string> TRebuildStage::IndexesLeftOff() const {
  return FIndexRecovery != nullptr ? FIndexRecovery->IndexesLeftOff() : std::vector<std::string>{};
}

// The engine's restore checks that the new database is online; a script
// error or a missing file means the rebuild must not count as done, unless
// the restore's own words say it only left indexes off and the recovery
// brought it online. After a restore that went well, indexes the backup
// held as inactive are finished the same way.
void TRebuildStage::Restore(const TInstallPaths& paths) {
  FEngine.Script().SetText(BuildRestoreScript(paths, FProgramFolder));
  const std::vector<std::string> said = ExecuteRestore();
  StopIfAsked(FHost, "phục hồi");
  if (!platform::FileExists(paths.Database)) throw Exception(texts::RepairFailed);
  if (FIndexRecovery == nullptr) {
    if (FEngine.LastScriptFailed()) throw Exception(texts::RepairFailed);
    return;
  }
  if (!FEngine.LastScriptFailed()) return FIndexRecovery->FinishInactiveIndexes(paths);
  if (!TIndexRecovery::RestoreLeftOnlyIndexesOff(said) || !FIndexRecovery->Recover(paths, ToolLimits))
    throw Exception(texts::RepairFailed);
}

// The restore's progress lines, heard on their way to the owner's handler.
std::vector<std::string> TRebuildStage::ExecuteRestore() {
  std::vector<std::string> said;
  const auto owners = FEngine.OnBlockProgress;
  const platform::TScopeExit handBack([&] { FEngine.OnBlockProgress = owners; });
  FEngine.OnBlockProgress = [&](const std::string& message, bool& go) {
    said.push_back(message);
    if (owners) owners(message, go);
  };
  FEngine.ExecuteScript();
  return said;
}

// The database is deleted only after gbak has ended well and left a backup.
void TRebuildStage::Backup(const TInstallPaths& paths, const platform::TFileOwnership& original) {
  std::vector<std::string> output;
  std::uint32_t exitCode = RunBackup(paths, "", output);
  std::string tableLeftOut;
  if (exitCode != 0 && exitCode != ConsoleToolFailure)
    if (const auto remedy = RemedyNamedBy(paths, output)) {
      FHost.AddLog(remedy->LogLine);
      PrepareBackupFile(paths, original);
      exitCode = RunBackup(paths, remedy->Switches, output);
      tableLeftOut = remedy->TableLeftOut;
    }
  if (exitCode != 0) {
    RemoveEmptyBackup(paths);
    throw Exception(texts::BackupFailed(exitCode));
  }
  if (platform::KindOfFile(paths.Backup) != platform::TFileKind::Regular) throw Exception(texts::NotARegularFile(paths.Backup));
  if (platform::FileSize(paths.Backup).value_or(0) == 0) throw Exception(texts::BackupMissing(paths.Backup));
  if (!tableLeftOut.empty()) throw ERowsLost(texts::TableLeftOutOfBackup(tableLeftOut));
}

std::uint32_t TRebuildStage::RunBackup(const TInstallPaths& paths, const std::string& remedy,
                                       std::vector<std::string>& output) {
  FHost.ProcessEvents();
  output.clear();
  const TToolBound bound = BoundFor("gbak -b", paths, ToolLimits);
  std::uint32_t exitCode;
  try {
    exitCode = RunLoggedTool(
        FHost, ToolRunFor(paths, [&](const TInstallPaths& named) { return GbakBackupCommand(named, remedy); }), bound,
        &output);
  } catch (const EToolStopped&) {
    platform::DeleteFile(paths.Backup);  // a partial backup, perhaps a huge one
    throw;
  } catch (const std::exception&) {
    RemoveEmptyBackup(paths);
    throw;
  }
  FHost.ProcessEvents();
  return exitCode;
}

// Remedies gbak names itself, each tried once: transactions in limbo are
// left out with -limbo; the data of tables the server cannot read (a
// destroyed pointer page) is left out with -skip_data, the table named.
std::optional<TRebuildStage::TRemedy> TRebuildStage::RemedyNamedBy(const TInstallPaths& paths,
                                                                  const std::vector<std::string>& output) {
  const auto says = [&](const char* words) {
    for (const auto& line : output)
      if (line.find(words) != std::string::npos) return true;
    return false;
  };
  if (says("limbo")) return TRemedy{"-limbo", texts::BackupRetriedWithLimbo, ""};
  if (!says("pointer page") || FRowCounter == nullptr) return std::nullopt;
  std::string tables;
  try {
    for (const auto& [table, rows] : FRowCounter->Count(paths.Database))
      if (rows == UnreadableRows && PlainName(table)) tables += (tables.empty() ? "" : "|") + table;
  } catch (const ERepairStopped&) {
    throw;
  } catch (const std::exception& error) {
    FHost.AddLog(error.what());
  }
  if (tables.empty()) return std::nullopt;
  return TRemedy{"-skip_data " + tables, texts::BackupRetriedWithoutTable(tables), tables};
}
