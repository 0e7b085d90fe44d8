#include "db/DbConnection.h"

#include <algorithm>
#include <exception>
#include <strings.h>

#include "db/DbTransaction.h"
#include "db/FirebirdProvider.h"
#include "platform/Cleanup.h"
#include "platform/Utf8.h"

namespace {

std::string Trimmed(const std::string& text) { return platform::TrimControlAndBlanks(text); }

// fb_cancel_operation on a copy of the handle; true when the client accepted it.
bool CancelOperation(TFbClient& client, isc_db_handle handle, ISC_USHORT option) {
  using TCancel = ISC_STATUS(ISC_EXPORT*)(ISC_STATUS*, isc_db_handle*, ISC_USHORT);
  ISC_STATUS_ARRAY status{};
  isc_db_handle copy = handle;
  return client.Entry<TCancel>(TFbEntry::fb_cancel_operation)(status, &copy, option) == 0;
}

}  // namespace

TDbConnection::TDbConnection()
    : FProviderOptions([this](const std::string& prefix) -> const TOptionTable* {
        return prefix.empty() ? ProviderTable() : TFirebirdProvider::TableFor(prefix);
      }) {
  FProviderOptions.BeforeChange = [this] { Close(); };
  FProviderOptions.AfterChange = [this] { FOptionsModified = true; };
  FInternalDefTransaction = std::make_unique<TDbTransaction>(true);
  FInternalDefTransaction->SetDefaultConnection(this);
}

TDbConnection::~TDbConnection() {
  FDestroying = true;
  try {
    Close();
  } catch (...) {
  }
  for (TDbTransaction* transaction : std::vector<TDbTransaction*>(FTransactions)) transaction->ForgetConnection(this);
  FTransactions.clear();
  FInternalDefTransaction.reset();
}

bool TDbConnection::InTransaction() const { return DefaultTransaction()->Active(); }
void TDbConnection::StartTransaction() { DefaultTransaction()->StartTransaction(); }
void TDbConnection::Commit() { DefaultTransaction()->Commit(); }
void TDbConnection::Rollback() { DefaultTransaction()->Rollback(); }

void TDbConnection::AddTransaction(TDbTransaction* transaction) {
  if (std::find(FTransactions.begin(), FTransactions.end(), transaction) == FTransactions.end())
    FTransactions.push_back(transaction);
}

void TDbConnection::RemoveTransaction(TDbTransaction* transaction) {
  FTransactions.erase(std::remove(FTransactions.begin(), FTransactions.end(), transaction), FTransactions.end());
}

const TOptionTable* TDbConnection::ProviderTable() const {
  if (::strcasecmp(FProviderName.c_str(), TFirebirdProvider::Name.c_str()) == 0)
    return &TFirebirdProvider::ConnectionOptions();
  return nullptr;
}

// Provider names compare case-insensitively: another spelling of the same
// provider keeps the physical connection.
void TDbConnection::SetProviderName(const std::string& value) {
  const std::string name = Trimmed(value);
  if (::strcasecmp(name.c_str(), FProviderName.c_str()) == 0) {
    FProviderName = name;
    return;
  }
  if (Connected()) throw EDatabaseError("This operation is not allowed on active connection");
  FProviderName = name;
  ReleasePhysicalConnection();
  FOptionsModified = true;
}

// Transactions let go of the physical connection before it goes.
void TDbConnection::ReleasePhysicalConnection() {
  if (!FIConnection) return;
  for (TDbTransaction* transaction : FTransactions) transaction->ForgetPhysicalConnection(FIConnection.get());
  FIConnection.reset();
}

void TDbConnection::CloseIfChanged(const std::string& current, const std::string& next) {
  if (current != next) Close();
}

void TDbConnection::SetDatabase(const std::string& value) {
  const std::string database = Trimmed(value);
  CloseIfChanged(FDatabase, database);
  FDatabase = database;
  if (FIConnection) FIConnection->SetDatabase(FDatabase);
}

void TDbConnection::SetServer(const std::string& value) {
  CloseIfChanged(FServer, value);
  FServer = value;
}

void TDbConnection::SetPort(int value) {
  if (value != FPort) Close();
  FPort = value;
}

void TDbConnection::SetUsername(const std::string& value) {
  CloseIfChanged(FUsername, value);
  FUsername = value;
}

void TDbConnection::SetPassword(const std::string& value) {
  CloseIfChanged(FPassword, value);
  FPassword = value;
}

void TDbConnection::PassOptionsDown() {
  ProviderTable()->ImportOptions(FProviderOptions.Lines(), [this](const TOption& option, const std::string& value) {
    FIConnection->SetOption(option.FOptionName, value);
  });
  FOptionsModified = false;
}

void TDbConnection::Open() {
  if (Connected()) return;
  if (FProviderName.empty()) throw EDatabaseError("Provider is not defined");
  if (ProviderTable() == nullptr) throw Exception(FProviderName + " is not a valid provider name");
  const bool created = !FIConnection;
  if (created) {
    FIConnection = std::make_unique<TFbConnection>();
    ++FPhysicalGeneration;
    FIConnection->SetDatabase(FDatabase);
  }
  FIConnection->SetPort(FPort == 0 ? "" : std::to_string(FPort));  // also a port changed since the first Open
  if (created || FOptionsModified) PassOptionsDown();
  FIConnection->FComponent = this;
  FIConnection->FOnError = [this](EDataAccessError& E, bool& Fail, bool& Reconnect, bool& Reexecute, int attempt,
                                  TConnLostCause& cause) {
    HandleConnectionError(E, Fail, Reconnect, Reexecute, attempt, cause);
  };
  FIConnection->FReconnectErrorProc = [this] { Close(); };
  FIConnection->SetUsername(FUsername);
  FIConnection->SetPassword(FPassword);
  FIConnection->SetServer(FServer);
  try {
    FIConnection->Connect();
  } catch (const EDbError&) {
    throw;
  } catch (const EDataAccessError& error) {
    throw EDbError(error);
  }
}

// A transaction the server will not end, or a detach it refuses, leaves the
// connection attached with its handles, and raises: the caller learns that
// the database is still open in this process.
void TDbConnection::Close() {
  if (!Connected()) return;
  const bool wasClosing = FClosing;  // a close from the error event, inside a close
  FClosing = true;
  const platform::TScopeExit closed([this, wasClosing] { FClosing = wasClosing; });
  try {
    EndActiveTransactions();
    FIConnection->Disconnect();
  } catch (const EDataAccessError& error) {
    if (FDestroying && error.IsFatalError()) return;
    if (dynamic_cast<const EDbError*>(&error) != nullptr) throw;
    throw EDbError(error);
  }
}

std::vector<TFbRow> TDbConnection::SelectRows(const std::string& query) {
  if (!Connected()) throw Exception("Can't perform operation on disconnected connection");
  try {
    return FIConnection->SelectReadOnly(query);
  } catch (const EDataAccessError& error) {
    if (dynamic_cast<const EDbError*>(&error) != nullptr) throw;
    throw EDbError(error);
  }
}

// A reconnect in the middle of work would leave that work on a dead handle:
// only transactions that read committed data and write nothing may be active.
bool TDbConnection::OnlyReadCommittedReadsActive() const {
  for (const TDbTransaction* transaction : FTransactions)
    if (transaction->Active() &&
        !(transaction->ReadOnly() && transaction->IsolationLevel() == TIsolationLevel::ilReadCommitted))
      return false;
  return true;
}

// Active transactions end by their close action; a server error there has
// been reported through OnError. Every transaction is tried; the first that
// the server still holds raises its error afterwards.
void TDbConnection::EndActiveTransactions() {
  std::exception_ptr stillHeld;
  for (TDbTransaction* transaction : std::vector<TDbTransaction*>(FTransactions)) {
    try {
      transaction->CloseTransaction(true);
    } catch (...) {
      if (!stillHeld) stillHeld = std::current_exception();
    }
  }
  if (stillHeld) std::rethrow_exception(stillHeld);
}

void TDbConnection::HandleConnectionError(EDataAccessError& E, bool& Fail, bool& Reconnect, bool& Reexecute,
                                          int attempt, TConnLostCause& cause) {
  EDbError wrapper(E);
  cause = TConnLostCause::clUnknown;
  const bool fatal = wrapper.IsFatalError();
  // A connection being closed is never attached again: only to be rolled back.
  if (fatal) Reconnect = !FClosing && Connected() && attempt == 0 && OnlyReadCommittedReadsActive();
  if (OnError) OnError(this, wrapper, Fail);
  if (!fatal) return;
  FIConnection->FIsValid = false;
  if (attempt == 0) {
    try {
      EndActiveTransactions();
    } catch (...) {
    }
  }
  if (attempt == 0 && !Reconnect && !FInProcessError) {
    FInProcessError = true;
    try {
      Close();
    } catch (...) {
    }
    FInProcessError = false;
  }
}

// The handle is taken now: the attachment must outlive the canceller's use,
// which the watch that holds it guarantees by ending before the close.
std::function<void()> TDbConnection::Canceller() const {
  TFbClient* client = CancellingClient();
  if (client == nullptr) return {};
  const isc_db_handle handle = *FIConnection->DatabaseHandle();
  return [client, handle] {
    if (client->CallInFlight()) CancelOperation(*client, handle, fb_cancel_raise);
  };
}

bool TDbConnection::ClearPendingCancel() {
  TFbClient* client = CancellingClient();
  if (client == nullptr) return true;
  const isc_db_handle handle = *FIConnection->DatabaseHandle();
  const bool disabled = CancelOperation(*client, handle, fb_cancel_disable);
  return CancelOperation(*client, handle, fb_cancel_enable) && disabled;
}

// The client of an open connection that can cancel its calls, or nullptr.
TFbClient* TDbConnection::CancellingClient() const {
  if (!Connected()) return nullptr;
  TFbClient* client = FIConnection->Client();
  return client != nullptr && client->HasEntry(TFbEntry::fb_cancel_operation) ? client : nullptr;
}
