#include "engine/Restore.h"

#include <cstring>
#include <exception>

#include "engine/ParameterBuffer.h"
#include "engine/ScriptErrors.h"
#include "engine/ServicesClient.h"
#include "platform/OutputCapture.h"

namespace {

// The transaction existence block of isc_start_multiple.
struct TTransactionExistence {
  isc_db_handle* Database;
  int ParameterLength;
  const char* Parameters;
};

class TServiceAttachment {
 public:
  TServiceAttachment(const TServicesClient& client, const TRestoreOptions& options) : FClient(client) {
    TParameterBuffer spb{isc_spb_version, isc_spb_current_version};
    if (!options.User.empty()) spb.AddShortString(isc_spb_user_name, options.User);
    if (!options.Password.empty()) spb.AddShortString(isc_spb_password, options.Password);
    spb.AddShortString(isc_spb_utf8_filename, "");
    char name[] = "service_mgr";
    if (FClient.ServiceAttach(FStatus, 0, name, &FHandle, spb.Length(), spb.Data()) != 0) Fail();
  }
  ~TServiceAttachment() { Detach(); }
  TServiceAttachment(const TServiceAttachment&) = delete;
  TServiceAttachment& operator=(const TServiceAttachment&) = delete;

  void Start(const TParameterBuffer& request) {
    if (FClient.ServiceStart(FStatus, &FHandle, nullptr, request.Length(), request.Data()) != 0) Fail();
  }

  // The next verbose line; false once the service has ended.
  bool NextLine(std::string& line) {
    char item = isc_info_svc_line;
    char result[2048];
    if (FClient.ServiceQuery(FStatus, &FHandle, nullptr, 0, nullptr, 1, &item, sizeof result, result) != 0) Fail();
    if (result[0] != isc_info_svc_line) throw EScriptError("Unexpected answer from the service manager");
    const unsigned length = static_cast<unsigned char>(result[1]) | (static_cast<unsigned char>(result[2]) << 8);
    if (length == 0) return false;
    line.assign(result + 3, std::min<std::size_t>(length, sizeof result - 3));
    return true;
  }

  // Detaching from a running service: only after it has ended, or on an error path.
  void Detach() {
    if (FHandle == 0) return;
    ISC_STATUS_ARRAY ignored;
    FClient.ServiceDetach(ignored, &FHandle);
    FHandle = 0;
  }

 private:
  [[noreturn]] void Fail() { throw EScriptError(FClient.ErrorText(FStatus)); }

  const TServicesClient& FClient;
  ISC_STATUS_ARRAY FStatus{};
  isc_svc_handle FHandle = 0;
};

TParameterBuffer RestoreRequest(const std::string& backupFile, const std::string& databaseFile,
                                const TRestoreOptions& options) {
  TParameterBuffer request{isc_action_svc_restore};
  request.AddLongString(isc_spb_bkp_file, backupFile);
  request.AddLongString(isc_spb_dbname, databaseFile);
  request.AddTag(isc_spb_verbose);
  std::uint32_t flags = 0;
  if (options.Create) flags |= isc_spb_res_create;
  if (options.Replace) flags |= isc_spb_res_replace;
  if (options.OneAtATime) flags |= isc_spb_res_one_at_a_time;
  request.AddInt32(isc_spb_options, flags);
  return request;
}

class TDatabaseAttachment {
 public:
  TDatabaseAttachment(const TServicesClient& client, const std::string& databaseFile, const TRestoreOptions& options)
      : FClient(client) {
    TParameterBuffer dpb{isc_dpb_version1};
    if (!options.User.empty()) dpb.AddShortString(isc_dpb_user_name, options.User);
    if (!options.Password.empty()) dpb.AddShortString(isc_dpb_password, options.Password);
    dpb.AddShortString(isc_dpb_utf8_filename, "");
    if (FClient.AttachDatabase(FStatus, static_cast<short>(databaseFile.size()), databaseFile.c_str(), &FHandle,
                               static_cast<short>(dpb.Length()), dpb.Data()) != 0)
      throw EScriptError("The restored database " + databaseFile + " cannot be attached: " + FClient.ErrorText(FStatus));
  }
  ~TDatabaseAttachment() {
    ISC_STATUS_ARRAY ignored;
    if (FTransaction != 0) FClient.RollbackTransaction(ignored, &FTransaction);
    if (FHandle != 0) FClient.DetachDatabase(ignored, &FHandle);
  }
  TDatabaseAttachment(const TDatabaseAttachment&) = delete;
  TDatabaseAttachment& operator=(const TDatabaseAttachment&) = delete;

  // mon$shutdown_mode: 0 online, otherwise one of the shutdown modes.
  short ShutdownMode() {
    TTransactionExistence existence{&FHandle, 0, nullptr};
    if (FClient.StartMultiple(FStatus, &FTransaction, 1, &existence) != 0) Fail();
    alignas(XSQLDA) char area[XSQLDA_LENGTH(1)] = {};
    auto* row = reinterpret_cast<XSQLDA*>(area);
    row->version = SQLDA_VERSION1;
    row->sqln = row->sqld = 1;
    short mode = 0;
    short indicator = 0;
    row->sqlvar[0].sqltype = SQL_SHORT + 1;
    row->sqlvar[0].sqllen = sizeof mode;
    row->sqlvar[0].sqldata = reinterpret_cast<char*>(&mode);
    row->sqlvar[0].sqlind = &indicator;
    const char query[] = "select mon$shutdown_mode from mon$database";
    if (FClient.ExecuteImmediate(FStatus, &FHandle, &FTransaction, 0, query, SQL_DIALECT_V6, nullptr, row) != 0) Fail();
    return mode;
  }

 private:
  [[noreturn]] void Fail() { throw EScriptError(FClient.ErrorText(FStatus)); }

  const TServicesClient& FClient;
  ISC_STATUS_ARRAY FStatus{};
  isc_db_handle FHandle = 0;
  isc_tr_handle FTransaction = 0;
};

void CheckOnline(const TServicesClient& client, const std::string& databaseFile, const TRestoreOptions& options) {
  TDatabaseAttachment database(client, databaseFile, options);
  if (database.ShutdownMode() != 0)
    throw EScriptError("The restored database " + databaseFile + " is not online (it was left shut down)");
}

// The lines the engine wrote to standard output that say what went wrong
// ("ERROR: Backup incomplete"), joined; the volume prompts are left out.
std::string ErrorLines(const std::string& output) {
  std::string errors;
  for (std::size_t at = output.find("ERROR:"); at != std::string::npos; at = output.find("ERROR:", at + 1)) {
    const std::size_t end = output.find_first_of("\r\n", at);
    const std::size_t text = output.find_first_not_of(' ', at + 6);
    if (text == std::string::npos || text >= end) continue;
    errors += (errors.empty() ? "" : "; ") + output.substr(text, end == std::string::npos ? std::string::npos : end - text);
  }
  return errors;
}

// The online check, with the engine's own reason in front when it gave one.
void CheckRestoredOnline(const TServicesClient& client, const std::string& databaseFile,
                         const TRestoreOptions& options, const std::string& engineOutput) {
  try {
    CheckOnline(client, databaseFile, options);
  } catch (const EScriptError& error) {
    const std::string reason = ErrorLines(engineOutput);
    if (reason.empty()) throw;
    throw EScriptError(reason + " (" + error.Message() + ")");
  }
}

}  // namespace

void RestoreDatabase(const std::string& backupFile, const std::string& databaseFile, const TRestoreOptions& options,
                     const TRestoreLineHandler& onLine) {
  TServicesClient client(options.ClientLibrary);
  std::exception_ptr handlerError;
  std::string engineOutput;
  {
    platform::TStandardOutputCapture capture;
    TServiceAttachment service(client, options);
    service.Start(RestoreRequest(backupFile, databaseFile, options));
    for (std::string line; service.NextLine(line);) {
      capture.Collect();
      if (!onLine || handlerError) continue;
      try {
        onLine(line);
      } catch (...) {
        handlerError = std::current_exception();
      }
    }
    service.Detach();
    capture.Collect();
    engineOutput = capture.Text();
  }
  if (handlerError) std::rethrow_exception(handlerError);
  CheckRestoredOnline(client, databaseFile, options, engineOutput);
}

void CheckDatabaseOnline(const std::string& databaseFile, const TRestoreOptions& options) {
  CheckOnline(TServicesClient(options.ClientLibrary), databaseFile, options);
}
