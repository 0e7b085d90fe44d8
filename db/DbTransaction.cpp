#include "db/DbTransaction.h"

#include "db/DbConnection.h"
#include "db/DbErrors.h"

namespace {

const char* const ActiveTransaction = "Can't perform operation on active transaction";
const char* const InactiveTransaction = "Can't perform operation on inactive transaction";

}  // namespace

// Nothing may leave a destructor: a failure while the transaction ends here
// has been reported through the connection's error event already.
TDbTransaction::~TDbTransaction() {
  FDestroying = true;
  try {
    CloseTransaction(true);
  } catch (...) {
  }
  try {
    Unbind();
  } catch (...) {
  }
}

TFbTransaction* TDbTransaction::Physical() const {
  if (FShareTransaction) {
    if (FDefaultConnection == nullptr || FDefaultConnection->PhysicalConnection() == nullptr) return nullptr;
    return &FDefaultConnection->PhysicalConnection()->InternalTransaction();
  }
  return FITransaction.get();
}

bool TDbTransaction::Active() const {
  const TFbTransaction* physical = Physical();
  return physical != nullptr && physical->GetInTransaction();
}

void TDbTransaction::Unbind() {
  if (FDefaultConnection == nullptr) return;
  FDefaultConnection->RemoveTransaction(this);
  if (!FShareTransaction && FITransaction && FDefaultConnection->PhysicalConnection() != nullptr)
    FITransaction->RemoveConnection(FDefaultConnection->PhysicalConnection());
  FDefaultConnection = nullptr;
}

void TDbTransaction::SetDefaultConnection(TDbConnection* connection) {
  if (connection == FDefaultConnection) return;
  if (FDefaultConnection != nullptr) {
    if (Active()) CloseTransaction(false);
    Unbind();
  }
  if (connection != nullptr) {
    if (Active()) CloseTransaction(false);
    connection->AddTransaction(this);
  }
  FDefaultConnection = connection;
}

void TDbTransaction::ForgetConnection(TDbConnection* connection) {
  if (connection != FDefaultConnection) return;
  if (FITransaction && connection->PhysicalConnection() != nullptr)
    FITransaction->RemoveConnection(connection->PhysicalConnection());
  FDefaultConnection = nullptr;
}

void TDbTransaction::ForgetPhysicalConnection(TFbConnection* physical) {
  if (!FShareTransaction && FITransaction) FITransaction->RemoveConnection(physical);
  FPrepared = false;
}

void TDbTransaction::SetIsolationLevel(TIsolationLevel level) {
  if (Active()) throw Exception(ActiveTransaction);
  FIsolationLevel = level;
  if (TFbTransaction* physical = Physical()) physical->SetIsolationLevel(level);
}

void TDbTransaction::SetReadOnly(bool readOnly) {
  if (Active()) throw Exception(ActiveTransaction);
  FReadOnly = readOnly;
  if (TFbTransaction* physical = Physical()) physical->SetReadOnly(readOnly);
}

void TDbTransaction::PrepareTransaction() {
  if (FDefaultConnection == nullptr || !FDefaultConnection->Connected())
    throw Exception("One of the connections in the transaction is not active");
  if (!FShareTransaction && !FITransaction) FITransaction = std::make_unique<TFbTransaction>();
  TFbTransaction* physical = Physical();
  physical->SetIsolationLevel(FIsolationLevel);
  physical->SetReadOnly(FReadOnly);
  physical->FComponent = this;
  physical->AddConnection(FDefaultConnection->PhysicalConnection());
  FPrepared = true;
}

void TDbTransaction::StartTransaction() {
  if (Active()) throw Exception(ActiveTransaction);
  PrepareTransaction();
  Physical()->StartTransaction();
  FTrStartCount = 1;
}

void TDbTransaction::CheckInactive() const {
  if (FDefaultConnection != nullptr && !Active()) throw Exception(InactiveTransaction);
}

void TDbTransaction::UnPrepareIfInactive() {
  if (Physical() == nullptr || !Physical()->GetInTransaction()) {
    FPrepared = false;
    FTrStartCount = 0;
  }
}

void TDbTransaction::Commit() { EndTransaction(&TFbTransaction::Commit); }

void TDbTransaction::Rollback() { EndTransaction(&TFbTransaction::Rollback); }

void TDbTransaction::EndTransaction(void (TFbTransaction::*end)()) {
  CheckInactive();
  if (!FPrepared) PrepareTransaction();
  try {
    (Physical()->*end)();
  } catch (...) {
    UnPrepareIfInactive();
    throw;
  }
  UnPrepareIfInactive();
}

void TDbTransaction::CommitRetaining() {
  if (!Active()) throw Exception(InactiveTransaction);
  Physical()->CommitRetaining();
}

void TDbTransaction::GainTransaction() {
  ++FTrStartCount;
  if (FTrStartCount == 1 && !Active()) {
    try {
      StartTransaction();
    } catch (...) {
      FTrStartCount = 0;
      throw;
    }
  }
}

// A transaction that this execution started holds nothing but its work: when
// its commit fails, the work is rolled back, so that no later, unrelated
// commit can make it land after the caller was told it failed.
void TDbTransaction::AutoCommitTransaction(bool needCommit) {
  if (!needCommit) return;
  if (FTrStartCount == 1) {
    try {
      Commit();
    } catch (...) {
      RollbackAfterFailedCommit();
      throw;
    }
  } else if (FTrStartCount > 1) {
    CommitRetaining();
  }
}

void TDbTransaction::RollbackAfterFailedCommit() {
  if (!Active()) return;
  try {
    Rollback();
  } catch (...) {
    if (TFbTransaction* physical = Physical()) physical->Reset();
    UnPrepareIfInactive();
  }
}

void TDbTransaction::ReleaseTransaction() {
  if (FTrStartCount > 1) --FTrStartCount;
}

// A server that refuses the end (a cancel still pending on the attachment)
// is asked once more; a transaction it still holds keeps its handle and the
// error is raised even with force, so that no connection is detached from
// under it. On a lost connection the handle means nothing any more.
void TDbTransaction::CloseTransaction(bool force) {
  for (int attempt = 0; Active(); ++attempt) {
    try {
      if (DefaultCloseAction == TTransactionAction::taCommit) Commit();
      else Rollback();
      return;
    } catch (const EDataAccessError& error) {
      if (!error.IsFatalError() && Active()) {
        if (attempt == 0) continue;
        throw;
      }
      ForgetHandle();
      if (!force && !FDestroying) throw;
    } catch (...) {
      if (!force) throw;
      ForgetHandle();
    }
  }
}

void TDbTransaction::ForgetHandle() {
  if (TFbTransaction* physical = Physical()) physical->Reset();
  UnPrepareIfInactive();
}
