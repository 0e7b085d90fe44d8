#include "repair/ProgramCheck.h"

#include <exception>
#include <memory>

#include "engine/ScriptEngineApi.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/Library.h"
#include "platform/NativeNames.h"
#include "repair/RowCountChild.h"

namespace {

using TClientVersionProc = void(STDCALL*)(char* buffer);

std::string CheckScriptEngine(const platform::DynamicLibrary& library) {
  if (library.Symbol(ExecuteScriptTextExport) == nullptr || library.Symbol(ConnectExport) == nullptr)
    throw Exception("Invalid Library");
  return "ExecuteScriptText, Connect";
}

std::string CheckClient(const platform::DynamicLibrary& library) {
  auto version = library.Entry<TClientVersionProc>("isc_get_client_version");
  if (version == nullptr || library.Symbol("isc_attach_database") == nullptr)
    throw Exception("not a Firebird client library");
  char text[256] = {};
  version(text);
  return text;
}

template <typename Check>
void CheckLibrary(TProgramCheck& result, const std::string& label, const std::string& name, Check check) {
  const std::string path = platform::ProgramFolder() + name;
  try {
    const auto library = platform::DynamicLibrary::Load(path);
    result.Lines.push_back(label + ": " + path + ": " + check(*library));
  } catch (const std::exception& error) {
    result.Lines.push_back(label + ": " + path + ": " + error.what());
    result.Complete = false;
  }
}

}  // namespace

TProgramCheck CheckProgramLibraries() {
  TProgramCheck result;
  CheckLibrary(result, "Script engine", platform::ScriptEngineLibraryName, CheckScriptEngine);
  CheckLibrary(result, "Client library", platform::ClientLibraryName, CheckClient);
  const std::string counter = platform::ProgramFolder() + RowCountProgramName;
  const bool present = platform::FileExists(counter);
  result.Lines.push_back("Row counter: " + counter + ": " + (present ? "present" : "missing"));
  result.Complete = result.Complete && present;
  return result;
}
