// The few entry points of the Firebird client library that the engine uses:
// the Services API for the restore and a short attach to check its result.
// The library is loaded at run time from the path the script names.
#pragma once

#include <ibase.h>
#include <memory>
#include <string>

#include "platform/Library.h"

class TServicesClient {
 public:
  // Raises EScriptError when the library cannot be loaded or lacks an entry point.
  explicit TServicesClient(const std::string& libraryPath);

  decltype(&isc_service_attach) ServiceAttach;
  decltype(&isc_service_detach) ServiceDetach;
  decltype(&isc_service_start) ServiceStart;
  decltype(&isc_service_query) ServiceQuery;
  decltype(&isc_attach_database) AttachDatabase;
  decltype(&isc_detach_database) DetachDatabase;
  decltype(&isc_start_multiple) StartMultiple;
  decltype(&isc_rollback_transaction) RollbackTransaction;
  decltype(&isc_dsql_exec_immed2) ExecuteImmediate;
  decltype(&fb_interpret) Interpret;

  // The full message text of a failed call's status vector, one line per message.
  std::string ErrorText(const ISC_STATUS* status) const;

 private:
  template <typename Function>
  void Resolve(Function& slot, const char* name);

  std::string FPath;
  std::unique_ptr<platform::DynamicLibrary> FLibrary;
};
