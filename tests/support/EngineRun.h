// The real script engine driven by a test: handlers that record everything
// and answer as told, and the restore call the repair's script makes.
#pragma once

#include <string>
#include <vector>

#include "platform/Files.h"
#include "repair/InstallPaths.h"
#include "repair/RestoreScript.h"
#include "tools/ScriptEngineComponent.h"

// The real engine with handlers that record everything and answer as told.
struct TEngineRun {
  TScriptEngineComponent engine{ENGINE_PATH};
  std::vector<std::string> progress, errors, before, after;
  bool stopBefore = false, stopAfter = false, stopProgressAt = false;

  TEngineRun() {
    engine.OnBlockProgress = [this](const std::string& m, bool& go) {
      progress.push_back(m);
      go = !(stopProgressAt && progress.size() == 3);
    };
    engine.OnScriptError = [this](const std::string& s, const std::string& e, bool& go) {
      errors.push_back(e);
      go = false;
    };
    engine.OnBeforeStatement = [this](const std::string& s, const std::string&, bool& go) {
      before.push_back(s);
      go = !stopBefore;
    };
    engine.OnAfterStatement = [this](const std::string& s, bool ok, bool& go) {
      after.push_back(ok ? "ok" : "failed");
      go = !stopAfter;
    };
  }
  void Run(const std::string& script) {
    engine.Script().SetText(script);
    engine.ExecuteScript();
  }
};

inline const std::string ProgramFolder = std::string(PROGRAM_FOLDER) + platform::PathSeparator;

inline std::string RestoreCall(const TInstallPaths& paths, const std::string& options, const std::string& backup) {
  return "execute scriptblock as begin\n"
         "  cb = 'execute scriptblock (Line variant) as begin sb_progress(Line); end';\n"
         "  sb_RestoreDatabase(" +
         Q(backup) + ", " + Q(paths.Database) + ", " + Q(options) + ", cb);\nend\n";
}

inline std::string Options() {
  return "clientlib=" + ProgramFolder + ClientLibraryName + "; User=SYSDBA; Password=x; C; REP";
}
