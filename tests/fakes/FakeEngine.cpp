// A stand-in script engine for the binding's tests. It records the script it
// is given and plays a program the test sets, calling the callbacks and
// recording their answers. Built twice: with and without the "Connect" export.
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

#include "engine/ScriptEngineApi.h"

#ifdef _WIN32
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

std::string lastScript;
std::string program;
std::string answers;

void Record(std::int32_t answer) {
  if (!answers.empty()) answers += ",";
  answers += std::to_string(answer);
}

// Fields of one step, split at ':'; "null" stands for a null pointer.
const char* Field(const std::string& text) { return text == "null" ? nullptr : text.c_str(); }

}  // namespace

// Steps separated by '|': before:S:T  after:S:N  progress:M  error:S:M; a
// progress message is the whole rest of its step, colons and all.
FAKE_EXPORT void FakeEngine_SetProgram(const char* steps) {
  program = steps;
  answers.clear();
}
FAKE_EXPORT const char* FakeEngine_LastScript() { return lastScript.c_str(); }
FAKE_EXPORT std::size_t FakeEngine_LastScriptSize() { return lastScript.size() + 1; }  // with the zero byte
FAKE_EXPORT const char* FakeEngine_Answers() { return answers.c_str(); }

FAKE_EXPORT void STDCALL ExecuteScriptText(const char* AScript, TScriptErrorCallbackProc onError,
                                           TScriptBeforeExecStatementCallbackProc before,
                                           TScriptAfterExecStatementCallbackProc after,
                                           TScriptBlockProgressCallbackProc progress) {
  lastScript = AScript;
  std::stringstream steps(program);
  for (std::string step; std::getline(steps, step, '|');) {
    std::stringstream parts(step);
    std::string kind, a, b;
    std::getline(parts, kind, ':');
    std::getline(parts, a, ':');
    std::getline(parts, b, ':');
    std::int32_t answer = 0;
    if (kind == "before") answer = before(Field(a), Field(b));
    else if (kind == "after") answer = after(Field(a), std::atoi(b.c_str()));
    else if (kind == "progress") answer = progress(Field(step.substr(kind.size() + 1)));
    else if (kind == "error") answer = onError(Field(a), Field(b));
    Record(answer);
    if (answer != 0 && kind == "error") return;
  }
}

#ifndef FAKE_ENGINE_WITHOUT_CONNECT
FAKE_EXPORT std::int32_t STDCALL Connect(const char*, TScriptConnectErrorCallbackProc) { return 0; }
#endif
