// The last stage: back the database up with gbak, delete it, restore it from
// the backup through the script engine.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "repair/RepairHost.h"
#include "repair/RepairStage.h"
#include "repair/ToolWatch.h"
#include <cstdint>

class TIndexRecovery;
class TRowCounter;
class TScriptEngineComponent;

class TRebuildStage : public TRepairStage {
 public:
  // The engine's handlers belong to whoever owns it; programFolder holds the
  // client library the restore loads.
  // indexRecovery finishes a restore that left indexes off; rowCounter
  // finds the table gbak cannot read. Both may be null.
  TRebuildStage(TRepairHost& host, TScriptEngineComponent& engine, std::string programFolder,
                TIndexRecovery* indexRecovery = nullptr, TRowCounter* rowCounter = nullptr)
      : FHost(host),
        FEngine(engine),
        FProgramFolder(std::move(programFolder)),
        FIndexRecovery(indexRecovery),
        FRowCounter(rowCounter) {}

  // Raises an error when gbak did not end well (the database is then not
  // deleted), and "Có lỗi khi sửa dữ liệu!" when the rebuild left no sound
  // database: a script error, no file, or the engine's online check. The
  // restored database is on stable storage when it returns.
  // A gbak that names its own remedy (transactions in limbo, a table it
  // cannot read) is run once more with it; a backup without a table's data
  // fails the stage with ERowsLost before the database is deleted.
  void Run(const TInstallPaths& paths) override;
  std::vector<std::string> IndexesLeftOff() const override;

  TToolLimits ToolLimits;  // the bound on gbak's backup

 private:
  struct TRemedy {
    std::string Switches, LogLine, TableLeftOut;
  };

  void Backup(const TInstallPaths& paths, const platform::TFileOwnership& original);
  std::uint32_t RunBackup(const TInstallPaths& paths, const std::string& remedy, std::vector<std::string>& output);
  std::optional<TRemedy> RemedyNamedBy(const TInstallPaths& paths, const std::vector<std::string>& output);
  void Restore(const TInstallPaths& paths);
  std::vector<std::string> ExecuteRestore();

  TRepairHost& FHost;
  TScriptEngineComponent& FEngine;
  std::string FProgramFolder;
  TIndexRecovery* FIndexRecovery;
  TRowCounter* FRowCounter;
};
