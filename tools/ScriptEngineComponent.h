// The binding of the script engine library: it loads the library when it is
// constructed, holds the script as lines, runs it through the engine's
// "ExecuteScriptText" and turns the engine's four callbacks into events.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "engine/ScriptEngineApi.h"
#include "platform/Library.h"
#include "platform/NativeNames.h"
#include "tools/ScriptLines.h"

class TScriptEngineComponent;

using TScriptConnectErrorProc = std::function<void(const std::string& AError)>;
using TScriptErrorProc = std::function<void(const std::string& AStatement, const std::string& AError, bool& AContinue)>;
using TScriptBeforeStatementProc =
    std::function<void(const std::string& AStatement, const std::string& AText, bool& AContinue)>;
using TScriptAfterStatementProc = std::function<void(const std::string& AStatement, bool ASuccess, bool& AContinue)>;
using TScriptBlockProgressProc = std::function<void(const std::string& AProgressMessage, bool& AContinue)>;

// Holds the loaded library; the callbacks reach their component through it.
class TScriptDLLConnection {
 public:
  // Raises Exception with the system's text when the library cannot be
  // loaded, and "Invalid Library" (the library released) when it lacks an export.
  explicit TScriptDLLConnection(TScriptEngineComponent* AParent);

  // Runs the 8-bit script text; an error raised inside a callback is kept,
  // the engine told to stop, and the error raised again here once the
  // engine has returned.
  void ExecScript(const std::string& AScript);

  TScriptEngineComponent* Parent() const { return FParent; }
  void KeepCallbackError(std::exception_ptr error);

 private:
  TScriptConnectDBProc FConnectProc = nullptr;
  TScriptExecuteProc FExecProc = nullptr;
  TScriptEngineComponent* FParent;
  std::unique_ptr<platform::DynamicLibrary> FLibHandle;
  std::exception_ptr FCallbackError;
};

// The connection whose script was started last; never cleared.
extern TScriptDLLConnection* CurrentDLLConnection;

class TScriptEngineComponent {
 public:
  // Loads the library named libraryName (a bare name is looked for in the
  // program folder first).
  explicit TScriptEngineComponent(const std::string& libraryName = DefaultLibrary);
  ~TScriptEngineComponent();

  static inline const std::string DefaultLibrary = platform::ScriptEngineLibraryName;

  // Only the stored text: the library loaded at construction stays in use.
  const std::string& ScriptEngineDLL() const { return FScriptEngineDLL; }
  void SetScriptEngineDLL(const std::string& name) { FScriptEngineDLL = name; }

  TScriptLines& Script() { return FScript; }

  // Runs the script's lines, each followed by CR LF. Everything the caller
  // learns comes through the events.
  void ExecuteScript();

  // True when the last ExecuteScript reported a script error.
  bool LastScriptFailed() const { return FLastScriptFailed; }

  TScriptConnectErrorProc OnConnectError;
  TScriptErrorProc OnScriptError;
  TScriptBeforeStatementProc OnBeforeStatement;
  TScriptAfterStatementProc OnAfterStatement;
  TScriptBlockProgressProc OnBlockProgress;

  // The dispatchers behind the callbacks: each yields the continue flag.
  bool DoScriptError(const std::string& AStatement, const std::string& AError);
  bool DoBeforeStatement(const std::string& AStatement, const std::string& AText);
  bool DoAfterStatement(const std::string& AStatement, bool ASuccess);
  bool DoBlockProgress(const std::string& AProgressMessage);

 private:
  std::unique_ptr<TScriptDLLConnection> FConnection;
  TScriptLines FScript;
  std::string FScriptEngineDLL;
  bool FLastScriptFailed = false;
};
