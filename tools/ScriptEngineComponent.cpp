#include "tools/ScriptEngineComponent.h"

#include <utility>

#include "platform/Exception.h"

TScriptDLLConnection* CurrentDLLConnection = nullptr;

namespace {

std::string TextOf(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

// Every callback turns the flag into the engine's answer; an error inside a
// handler never crosses the engine's frames: it is kept and the engine stopped.
template <typename Dispatch>
std::int32_t Answer(Dispatch dispatch) {
  TScriptDLLConnection* connection = CurrentDLLConnection;
  try {
    return dispatch(*connection->Parent()) ? 0 : 1;
  } catch (...) {
    connection->KeepCallbackError(std::current_exception());
    return 1;
  }
}

extern "C" std::int32_t STDCALL ScriptErrorCallback(const char* AStmtText, const char* AErrMessage) {
  return Answer([&](TScriptEngineComponent& c) { return c.DoScriptError(TextOf(AStmtText), TextOf(AErrMessage)); });
}

extern "C" std::int32_t STDCALL BeforeExecStatementCallback(const char* AStmtText, const char* AText) {
  return Answer([&](TScriptEngineComponent& c) { return c.DoBeforeStatement(TextOf(AStmtText), TextOf(AText)); });
}

extern "C" std::int32_t STDCALL AfterExecStatementCallback(const char* AStmtText, std::int32_t Success) {
  return Answer([&](TScriptEngineComponent& c) { return c.DoAfterStatement(TextOf(AStmtText), Success == 1); });
}

extern "C" std::int32_t STDCALL BlockProgressCallback(const char* AProgressMessage) {
  return Answer([&](TScriptEngineComponent& c) { return c.DoBlockProgress(TextOf(AProgressMessage)); });
}

}  // namespace

TScriptDLLConnection::TScriptDLLConnection(TScriptEngineComponent* AParent) : FParent(AParent) {
  FLibHandle = platform::DynamicLibrary::Load(AParent->ScriptEngineDLL());
  FExecProc = FLibHandle->Entry<TScriptExecuteProc>(ExecuteScriptTextExport);
  FConnectProc = FLibHandle->Entry<TScriptConnectDBProc>(ConnectExport);
  if (FExecProc == nullptr || FConnectProc == nullptr) throw Exception("Invalid Library");
}

void TScriptDLLConnection::KeepCallbackError(std::exception_ptr error) {
  if (!FCallbackError) FCallbackError = std::move(error);
}

void TScriptDLLConnection::ExecScript(const std::string& AScript) {
  FCallbackError = nullptr;
  CurrentDLLConnection = this;
  FExecProc(AScript.c_str(), ScriptErrorCallback, BeforeExecStatementCallback, AfterExecStatementCallback,
            BlockProgressCallback);
  if (FCallbackError) std::rethrow_exception(std::exchange(FCallbackError, nullptr));
}

TScriptEngineComponent::TScriptEngineComponent(const std::string& libraryName) : FScriptEngineDLL(libraryName) {
  FConnection = std::make_unique<TScriptDLLConnection>(this);
}

TScriptEngineComponent::~TScriptEngineComponent() = default;

void TScriptEngineComponent::ExecuteScript() {
  FLastScriptFailed = false;
  // Text inside the program is UTF-8, which is also the engine's 8-bit encoding here.
  FConnection->ExecScript(FScript.Text());
}

bool TScriptEngineComponent::DoScriptError(const std::string& AStatement, const std::string& AError) {
  FLastScriptFailed = true;
  bool AContinue = false;
  if (!OnScriptError) throw Exception(AError + " (\"" + AStatement + "\")");
  OnScriptError(AStatement, AError, AContinue);
  return AContinue;
}

bool TScriptEngineComponent::DoBeforeStatement(const std::string& AStatement, const std::string& AText) {
  bool AContinue = true;
  if (OnBeforeStatement) OnBeforeStatement(AStatement, AText, AContinue);
  return AContinue;
}

bool TScriptEngineComponent::DoAfterStatement(const std::string& AStatement, bool ASuccess) {
  bool AContinue = ASuccess;
  if (OnAfterStatement) OnAfterStatement(AStatement, ASuccess, AContinue);
  return AContinue;
}

bool TScriptEngineComponent::DoBlockProgress(const std::string& AProgressMessage) {
  bool AContinue = true;
  if (OnBlockProgress) OnBlockProgress(AProgressMessage, AContinue);
  return AContinue;
}
