#include "db/FbTransaction.h"

#include <algorithm>

#include "db/DbErrors.h"
#include "db/FbCall.h"
#include "db/FbConnection.h"

namespace {

const char* const ActiveTransaction = "Can't perform operation on active transaction";
const char* const InactiveTransaction = "Can't perform operation on inactive transaction";

// One entry of isc_start_multiple's existence block.
struct TTransactionExistence {
  isc_db_handle* Database;
  int TPBLength;
  const char* TPB;
};

}  // namespace

void TFbTransaction::AddConnection(TFbConnection* connection) {
  if (std::find(FConnections.begin(), FConnections.end(), connection) == FConnections.end())
    FConnections.push_back(connection);
}

void TFbTransaction::RemoveConnection(TFbConnection* connection) {
  FConnections.erase(std::remove(FConnections.begin(), FConnections.end(), connection), FConnections.end());
}

void TFbTransaction::SetIsolationLevel(TIsolationLevel level) {
  if (level != FIsolationLevel) FParamsChanged = true;
  FIsolationLevel = level;
}

void TFbTransaction::SetReadOnly(bool readOnly) {
  if (readOnly != FReadOnly) FParamsChanged = true;
  FReadOnly = readOnly;
}

void TFbTransaction::BuildTPB() {
  std::string tpb(1, static_cast<char>(isc_tpb_version3));
  switch (FIsolationLevel) {
    case TIsolationLevel::ilReadCommitted:
      tpb += {static_cast<char>(isc_tpb_read_committed), static_cast<char>(isc_tpb_rec_version),
              static_cast<char>(isc_tpb_nowait)};
      break;
    case TIsolationLevel::ilRepeatableRead:
    case TIsolationLevel::ilSnapshot:
      tpb += {static_cast<char>(isc_tpb_concurrency), static_cast<char>(isc_tpb_nowait)};
      break;
    case TIsolationLevel::ilIsolated:
      tpb += static_cast<char>(isc_tpb_consistency);
      break;
    case TIsolationLevel::ilCustom:
      break;  // its items come from a parameter list this system never fills
    case TIsolationLevel::ilReadUnCommitted:
      FTPB.clear();
      throw Exception("Unsupported transaction isolation level");
  }
  tpb += static_cast<char>(FReadOnly ? isc_tpb_read : isc_tpb_write);
  FTPB = tpb;
}

TFbClient& TFbTransaction::Client() { return *FClient; }

void TFbTransaction::Check(ISC_STATUS status) {
  if (status > 0) FConnections.front()->RaiseClientError(FStatusVector, true, FComponent);
}

void TFbTransaction::StartTransaction() {
  if (FTransactionHandle != 0) throw Exception(ActiveTransaction);
  if (FConnections.empty()) throw Exception("There are no connections in the transaction");
  for (auto* connection : FConnections)
    if (!connection->Connected()) throw Exception("Can't start transaction with closed connection");
  FClient = FConnections.front()->Client();
  if (FParamsChanged) {
    BuildTPB();
    FParamsChanged = false;
  }
  std::vector<TTransactionExistence> block;
  for (auto* connection : FConnections)
    block.push_back({connection->DatabaseHandle(), static_cast<int>(FTPB.size()), FTPB.data()});
  ISC_STATUS result;
  {
    TClientCall call(Client());
    result = Client().Entry<ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, short, void*)>(TFbEntry::isc_start_multiple)(
        FStatusVector, &FTransactionHandle, static_cast<short>(block.size()), block.data());
  }
  if (result > 0) FTransactionHandle = 0;
  Check(result);
}

// One call that ends or commits the transaction under its handle.
ISC_STATUS TFbTransaction::CallOnHandle(TFbEntry entry) {
  if (FTransactionHandle == 0) throw Exception(InactiveTransaction);
  TClientCall call(Client());
  return Client().Entry<ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*)>(entry)(FStatusVector, &FTransactionHandle);
}

void TFbTransaction::Commit() {
  const ISC_STATUS result = CallOnHandle(TFbEntry::isc_commit_transaction);
  // A commit that failed for any reason but a lost connection leaves the
  // transaction active, to be committed or rolled back again.
  if (result == 0 || EFbError::IsFatalErrorCode(static_cast<std::int32_t>(FStatusVector[1]))) FTransactionHandle = 0;
  Check(result);
}

void TFbTransaction::CommitRetaining() { Check(CallOnHandle(TFbEntry::isc_commit_retaining)); }

// A rollback refused for any reason but a lost connection (a cancel still
// pending on the attachment) leaves the transaction open on the server: its
// handle is kept, so that it can be rolled back again and the attachment
// still be detached.
void TFbTransaction::Rollback() {
  const ISC_STATUS result = CallOnHandle(TFbEntry::isc_rollback_transaction);
  if (result == 0 || EFbError::IsFatalErrorCode(static_cast<std::int32_t>(FStatusVector[1]))) FTransactionHandle = 0;
  Check(result);
}
