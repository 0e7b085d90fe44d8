#include "engine/ServicesClient.h"

#include "engine/ScriptErrors.h"
#include "platform/Exception.h"

TServicesClient::TServicesClient(const std::string& libraryPath) : FPath(libraryPath) {
  try {
    FLibrary = platform::DynamicLibrary::Load(libraryPath);
  } catch (const Exception& error) {
    throw EScriptError("Cannot load the client library " + libraryPath + ": " + error.Message());
  }
  Resolve(ServiceAttach, "isc_service_attach");
  Resolve(ServiceDetach, "isc_service_detach");
  Resolve(ServiceStart, "isc_service_start");
  Resolve(ServiceQuery, "isc_service_query");
  Resolve(AttachDatabase, "isc_attach_database");
  Resolve(DetachDatabase, "isc_detach_database");
  Resolve(StartMultiple, "isc_start_multiple");
  Resolve(RollbackTransaction, "isc_rollback_transaction");
  Resolve(ExecuteImmediate, "isc_dsql_exec_immed2");
  Resolve(Interpret, "fb_interpret");
}

template <typename Function>
void TServicesClient::Resolve(Function& slot, const char* name) {
  slot = FLibrary->Entry<Function>(name);
  if (slot == nullptr) throw EScriptError("The client library " + FPath + " has no entry point " + name);
}

std::string TServicesClient::ErrorText(const ISC_STATUS* status) const {
  std::string text;
  char buffer[1024];
  const ISC_STATUS* cursor = status;
  while (Interpret(buffer, sizeof buffer, &cursor) > 0) {
    if (!text.empty()) text += '\n';
    text += buffer;
  }
  return text.empty() ? "Unknown error of the Firebird client" : text;
}
