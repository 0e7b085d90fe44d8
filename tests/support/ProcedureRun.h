// An install folder with a real database and the repair procedure run on it
// with stages a test scripts, reporting to a recording host.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "repair/InstallPaths.h"
#include "repair/RepairProcedure.h"
#include "repair/RepairStage.h"
#include "support/FirebirdTools.h"
#include "support/RecordingHost.h"
#include "support/TestFolder.h"

// A stage that runs a test's action, and counts its runs.
class TScriptedStage : public TRepairStage {
 public:
  explicit TScriptedStage(std::function<void(const TInstallPaths&)> action = nullptr) : FAction(std::move(action)) {}
  void Run(const TInstallPaths& paths) override {
    ++Runs;
    if (FAction) FAction(paths);
  }
  int Runs = 0;

 private:
  std::function<void(const TInstallPaths&)> FAction;
};

// An install folder with a real database and, by choice, Debian's gfix or a
// script that prints its arguments in its place.
class InstallFolder {
 public:
  enum class Gfix { Debian, EchoArguments, None };

  explicit InstallFolder(const std::string& name = "VYR10", Gfix gfix = Gfix::Debian) : FFolder(name) {
    MakeFolders(FFolder / "DATA");
    MakeFolders(FFolder / "fb/bin");
    CreateTestDatabase(Paths().Database);
    if (gfix == Gfix::Debian) std::filesystem::create_symlink(GfixPath, FFolder / "fb/bin/gfix");
    if (gfix == Gfix::EchoArguments)
      MakeExecutableScript(FFolder / "fb/bin/gfix", "for a in \"$@\"; do echo \"[$a]\"; done\n");
  }

  const std::string& Root() const { return FFolder.Path(); }
  TInstallPaths Paths() const { return TInstallPaths::FromFolderText(Root()); }

 private:
  TTestFolder FFolder;
};

struct TRun {
  TRecordingHost host;
  TScriptedStage dataRepair;
  TScriptedStage rebuild;

  std::optional<bool> locksMayBeHostLocal;
  unsigned liveMarkerWatchSeconds = 1;

  explicit TRun(std::function<void(const TInstallPaths&)> rebuildAction = nullptr) : rebuild(std::move(rebuildAction)) {}
  TRepairOutcome Repair(const std::string& folderText) {
    TRepairProcedure procedure(host, &dataRepair, &rebuild);
    procedure.LocksMayBeHostLocal = locksMayBeHostLocal;
    procedure.LiveMarkerWatchSeconds = liveMarkerWatchSeconds;
    return procedure.Run(folderText);
  }
};
