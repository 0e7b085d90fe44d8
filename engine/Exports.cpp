// The library's two exports. Errors inside the engine are C++ exceptions;
// none of them crosses this boundary.
#include <exception>
#include <string>

#include "engine/Interpreter.h"
#include "engine/Parser.h"
#include "engine/ScriptEngineApi.h"
#include "engine/ScriptErrors.h"

#ifdef _WIN32
#define ENGINE_EXPORT extern "C" __declspec(dllexport)
#else
#define ENGINE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

const char* const BeforeStatementText = "execute scriptblock";

class TScriptRun {
 public:
  TScriptRun(TScriptErrorCallbackProc onError, TScriptBeforeExecStatementCallbackProc before,
             TScriptAfterExecStatementCallbackProc after, TScriptBlockProgressCallbackProc progress)
      : FOnError(onError), FBefore(before), FAfter(after), FProgress(progress) {}

  void Run(const std::string& script) {
    TParser parser(script);
    TInterpreter interpreter([this](const std::string& message) { return Progress(message); });
    for (;;) {
      std::optional<TTopStatement> statement;
      try {
        statement = parser.NextStatement();
      } catch (const EScriptError& error) {
        ReportError(parser.TextFromStatementStart(), error.Message());
        return;  // nothing after a statement that cannot be read
      }
      if (!statement) return;
      if (!RunStatement(interpreter, *statement)) return;
    }
  }

 private:
  // False when the script must end.
  bool RunStatement(TInterpreter& interpreter, const TTopStatement& statement) {
    if (FBefore != nullptr && FBefore(statement.Text.c_str(), BeforeStatementText) != 0) return false;
    bool success = true;
    try {
      interpreter.Run(statement.Block);
    } catch (const EScriptStopped&) {
      return false;
    } catch (const std::exception& error) {
      success = false;
      if (ReportError(statement.Text, error.what())) return false;
    }
    return FAfter == nullptr || FAfter(statement.Text.c_str(), success ? 1 : 0) == 0;
  }

  // True when the host answers stop.
  bool ReportError(const std::string& statement, const std::string& message) {
    return FOnError == nullptr || FOnError(statement.c_str(), message.c_str()) != 0;
  }

  bool Progress(const std::string& message) { return FProgress == nullptr || FProgress(message.c_str()) == 0; }

  TScriptErrorCallbackProc FOnError;
  TScriptBeforeExecStatementCallbackProc FBefore;
  TScriptAfterExecStatementCallbackProc FAfter;
  TScriptBlockProgressCallbackProc FProgress;
};

}  // namespace

ENGINE_EXPORT void STDCALL ExecuteScriptText(const char* AScript, TScriptErrorCallbackProc AErrorCallbackProc,
                                             TScriptBeforeExecStatementCallbackProc ABeforeCallbackProc,
                                             TScriptAfterExecStatementCallbackProc AAfterCallbackProc,
                                             TScriptBlockProgressCallbackProc ABlockProgressProc) {
  TScriptRun run(AErrorCallbackProc, ABeforeCallbackProc, AAfterCallbackProc, ABlockProgressProc);
  try {
    run.Run(AScript != nullptr ? AScript : "");
  } catch (const std::exception& error) {
    if (AErrorCallbackProc != nullptr) AErrorCallbackProc("", error.what());
  } catch (...) {
    if (AErrorCallbackProc != nullptr) AErrorCallbackProc("", "Internal error of the script engine");
  }
}

ENGINE_EXPORT std::int32_t STDCALL Connect(const char* AConnectParams,
                                           TScriptConnectErrorCallbackProc AConnectErrorCallbacFunc) {
  if (AConnectErrorCallbacFunc != nullptr)
    AConnectErrorCallbacFunc("Connect is not supported by this script engine; scripts name their databases");
  return 1;
}
