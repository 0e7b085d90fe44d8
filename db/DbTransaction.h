// The transaction component: settings, the connections it is bound to, and
// the start counter that turns single executions into implicit starts and
// automatic commits.
#pragma once

#include <memory>
#include <vector>

#include "db/FbTransaction.h"

class TDbConnection;

enum class TTransactionAction { taCommit, taRollback };

class TDbTransaction {
 public:
  // shared: a connection's own transaction, which borrows the physical
  // connection's internal transaction.
  explicit TDbTransaction(bool shared = false) : FShareTransaction(shared) {}
  ~TDbTransaction();
  TDbTransaction(const TDbTransaction&) = delete;
  TDbTransaction& operator=(const TDbTransaction&) = delete;

  TDbConnection* DefaultConnection() const { return FDefaultConnection; }
  void SetDefaultConnection(TDbConnection* connection);

  TIsolationLevel IsolationLevel() const { return FIsolationLevel; }
  void SetIsolationLevel(TIsolationLevel level);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool readOnly);
  TTransactionAction DefaultCloseAction = TTransactionAction::taRollback;

  bool Active() const;
  int StartCount() const { return FTrStartCount; }

  void StartTransaction();
  void Commit();
  void Rollback();
  void CommitRetaining();

  // The bracket around one statement execution.
  void GainTransaction();
  void AutoCommitTransaction(bool needCommit);
  void ReleaseTransaction();

  // Ends an active transaction by DefaultCloseAction; with force, the errors
  // of a lost connection and of the client side are dropped. A transaction
  // the server still holds after a second try raises its error.
  void CloseTransaction(bool force);

  // The physical transaction (created on first need), or nullptr.
  TFbTransaction* Physical() const;

  // Called by a connection that goes away.
  void ForgetConnection(TDbConnection* connection);
  // Called by a connection whose physical connection goes away.
  void ForgetPhysicalConnection(TFbConnection* physical);

 private:
  void PrepareTransaction();
  void EndTransaction(void (TFbTransaction::*end)());
  void UnPrepareIfInactive();
  void ForgetHandle();
  void RollbackAfterFailedCommit();
  void CheckInactive() const;
  void Unbind();

  TDbConnection* FDefaultConnection = nullptr;
  std::unique_ptr<TFbTransaction> FITransaction;
  bool FShareTransaction;
  int FTrStartCount = 0;
  bool FPrepared = false;
  bool FDestroying = false;
  TIsolationLevel FIsolationLevel = TIsolationLevel::ilReadCommitted;
  bool FReadOnly = false;
};
