// The C interface of the script engine library (libScriptEngine.so,
// ScriptEngine.dll on Windows): two exports and four callbacks. Texts are
// zero-terminated 8-bit strings (UTF-8 here); callbacks answer 0 to go on
// and 1 to stop.
#pragma once

#include <cstdint>

#include "platform/Library.h"

extern "C" {

typedef std::int32_t(STDCALL* TScriptErrorCallbackProc)(const char* AStmtText, const char* AErrMessage);
typedef std::int32_t(STDCALL* TScriptBeforeExecStatementCallbackProc)(const char* AStmtText, const char* AText);
typedef std::int32_t(STDCALL* TScriptAfterExecStatementCallbackProc)(const char* AStmtText, std::int32_t Success);
typedef std::int32_t(STDCALL* TScriptBlockProgressCallbackProc)(const char* AProgressMessage);
typedef std::int32_t(STDCALL* TScriptConnectErrorCallbackProc)(const char* AErrorMessage);

// "ExecuteScriptText": runs a script; returns when it has ended.
typedef void(STDCALL* TScriptExecuteProc)(const char* AScript, TScriptErrorCallbackProc AErrorCallbackProc,
                                          TScriptBeforeExecStatementCallbackProc ABeforeCallbackProc,
                                          TScriptAfterExecStatementCallbackProc AAfterCallbackProc,
                                          TScriptBlockProgressCallbackProc ABlockProgressProc);

// "Connect": this engine has no connections of its own; it reports that
// through the callback and returns non-zero.
typedef std::int32_t(STDCALL* TScriptConnectDBProc)(const char* AConnectParams,
                                                    TScriptConnectErrorCallbackProc AConnectErrorCallbacFunc);
}

inline const char* const ExecuteScriptTextExport = "ExecuteScriptText";
inline const char* const ConnectExport = "Connect";
