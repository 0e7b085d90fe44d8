// The connection component: the settings the window stores and the repair
// sets, the provider options, the OnError event, and Open/Close over the
// physical Firebird connection.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/DbErrors.h"
#include "db/FbConnection.h"
#include "db/ProviderOptions.h"

class TDbTransaction;

class TDbConnection;

// Raised for every failed server call on behalf of the connection; the error
// is raised to the caller afterwards unless the handler clears Fail.
using TConnectionErrorEvent = std::function<void(TDbConnection* Sender, EDataAccessError& E, bool& Fail)>;

class TDbConnection {
 public:
  TDbConnection();
  ~TDbConnection();
  TDbConnection(const TDbConnection&) = delete;
  TDbConnection& operator=(const TDbConnection&) = delete;

  const std::string& ProviderName() const { return FProviderName; }
  void SetProviderName(const std::string& value);
  const std::string& Database() const { return FDatabase; }
  void SetDatabase(const std::string& value);
  const std::string& Server() const { return FServer; }
  void SetServer(const std::string& value);
  int Port() const { return FPort; }
  void SetPort(int value);
  const std::string& Username() const { return FUsername; }
  void SetUsername(const std::string& value);
  const std::string& Password() const { return FPassword; }
  void SetPassword(const std::string& value);
  bool LoginPrompt = true;

  TProviderOptionsList& ProviderOptions() { return FProviderOptions; }

  TConnectionErrorEvent OnError;

  // Raise EDbError (wrapping the server's error) or the loader's Exception.
  void Open();
  void Close();
  bool Connected() const { return FIConnection && FIConnection->Connected(); }

  bool AutoCommit = true;

  // The connection's default transaction: its own one.
  TDbTransaction* DefaultTransaction() const { return FInternalDefTransaction.get(); }
  bool InTransaction() const;
  void StartTransaction();
  void Commit();
  void Rollback();
  // The rows of a query (values as text, nothing for null), read in a
  // read-only transaction of its own that is committed before it returns.
  std::vector<TFbRow> SelectRows(const std::string& query);

  // No data set of this connection holds cached updates: nothing to send.
  void ApplyUpdates() {}

  // Transactions bound to the connection, its own first.
  void AddTransaction(TDbTransaction* transaction);
  void RemoveTransaction(TDbTransaction* transaction);
  const std::vector<TDbTransaction*>& Transactions() const { return FTransactions; }

  // The physical connection, created on the first Open, and how many have
  // been created: a statement made for an earlier one lets go of it.
  TFbConnection* PhysicalConnection() const { return FIConnection.get(); }

  // A call that cancels the server call running on this attachment, to be
  // made from another thread (fb_cancel_operation): the running call then
  // fails with the server's "operation was cancelled". It raises nothing
  // while no client call runs. Nothing while the connection is closed or
  // the client library has no such entry point.
  std::function<void()> Canceller() const;
  // A cancel raised just as a call ended stays pending on the attachment and
  // would fail its next call (the close's rollback among them): this clears
  // it (fb_cancel_disable, then fb_cancel_enable). False when it could not.
  bool ClearPendingCancel();
  unsigned PhysicalGeneration() const { return FPhysicalGeneration; }

 private:
  const TOptionTable* ProviderTable() const;
  void PassOptionsDown();
  void HandleConnectionError(EDataAccessError& E, bool& Fail, bool& Reconnect, bool& Reexecute, int attempt,
                             TConnLostCause& cause);
  void CloseIfChanged(const std::string& current, const std::string& next);
  void ReleasePhysicalConnection();
  bool OnlyReadCommittedReadsActive() const;
  void EndActiveTransactions();
  TFbClient* CancellingClient() const;

  std::string FProviderName, FDatabase, FServer, FUsername, FPassword;
  int FPort = 0;
  TProviderOptionsList FProviderOptions;
  bool FOptionsModified = true;
  bool FInProcessError = false;
  bool FClosing = false;
  bool FDestroying = false;
  std::unique_ptr<TFbConnection> FIConnection;
  unsigned FPhysicalGeneration = 0;
  std::vector<TDbTransaction*> FTransactions;
  std::unique_ptr<TDbTransaction> FInternalDefTransaction;
};
