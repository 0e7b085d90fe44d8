// The physical Firebird connection: it builds the database parameter buffer,
// attaches and detaches through the client library, reads the dialect, and
// turns every failed call into an EFbError through its error procedure.
#pragma once

#include <cstdint>
#include <functional>
#include <ibase.h>
#include <string>
#include <vector>

#include "db/DbErrors.h"
#include "db/FbCall.h"
#include "db/FbCommand.h"
#include "db/FbTransaction.h"

enum class TConnLostCause { clUnknown };

// The component's error handler: (E, Fail, Reconnect, Reexecute, attempt, cause).
using TErrorProc = std::function<void(EDataAccessError& E, bool& Fail, bool& Reconnect, bool& Reexecute,
                                      int attempt, TConnLostCause& cause)>;

class TFbConnection {
 public:
  TFbConnection();
  ~TFbConnection();
  TFbConnection(const TFbConnection&) = delete;
  TFbConnection& operator=(const TFbConnection&) = delete;

  // Settings passed down by the component.
  void SetDatabase(const std::string& value) { FDatabase = value; }
  void SetServer(const std::string& value) { FServer = value; }
  void SetPort(const std::string& value) { FPort = value; }
  void SetUsername(const std::string& value);
  void SetPassword(const std::string& value);
  // One option of the provider's table, by name, in its canonical text.
  void SetOption(const std::string& name, const std::string& value);

  void Connect();
  void Disconnect();
  bool Connected() const { return FConnected; }

  // The raise step: a result above 0 raises the connection's error.
  void Check(ISC_STATUS status);
  [[noreturn]] void RaiseClientError(const ISC_STATUS* statusVector, bool useCallback, const void* component);

  // Extra DPB items as text lines; changing them while attached is refused.
  const std::vector<std::string>& Params() const { return FParams; }
  void SetParams(std::vector<std::string> params);
  const std::string& DPB() const { return FDPB; }
  std::string BuildDPB();

  TFbClient* Client() const { return FClient; }
  // The connection's internal transaction: read committed, read-write.
  TFbTransaction& InternalTransaction() { return FInternalTransaction; }
  // The character set named in the DPB and asked about after the attach.
  std::string CharacterSetName() const;
  // Reads the character-set facts (run at the end of every attach).
  void GetDatabaseParameters();
  // The rows of a query, read in a read-only transaction of their own,
  // committed after: the internal transaction may be busy with work.
  std::vector<TFbRow> SelectReadOnly(const std::string& query);
  isc_db_handle* DatabaseHandle() { return &FDatabaseHandle; }
  ISC_STATUS* StatusVector() { return FStatusVector; }

  TErrorProc FOnError;
  std::function<void()> FReconnectErrorProc;  // the component's Close
  std::function<void()> FAfterReconnect;
  const void* FComponent = nullptr;

  // Facts read after the attach.
  int FDBSQLDialect = 3;
  int FSQLDialect = 3;
  int FCharsetId = 0;
  int FCharLength = 0;
  int FDBCharsetId = 0;
  int FDBCharLength = 0;
  bool FQueryCharLength = true;
  bool FUseUnicode = false;
  bool FIsValid = false;
  std::int32_t FLastError = 0;
  std::string FCharset;

 private:
  void SelectClientLibrary();
  std::string ConnectionText() const;
  void ReadDatabaseDialect();
  void ProcessConnectionError(EDataAccessError& error, bool& fail);
  void ResetFacts();
  void AddParam(const std::string& line);
  std::vector<TFbRow> SelectIn(TFbTransaction& transaction, const std::string& query);

  std::string FDatabase, FServer, FPort, FUsername, FPassword, FRole, FClientLibrary;
  std::string FProtocol = "TCP";
  bool FTrustedAuthentication = false;
  bool FNoDBTriggers = false;
  std::vector<std::string> FParams;
  bool FParamsChanged = true;
  std::string FDPB;
  ISC_STATUS_ARRAY FStatusVector{};
  isc_db_handle FDatabaseHandle = 0;
  TFbClient* FClient = nullptr;
  bool FConnected = false;
  bool FNativeConnection = true;
  bool FInProcessError = false;
  bool FReconnected = false;
  TFbTransaction FInternalTransaction;
};
