// The physical Firebird transaction: its parameter buffer, the handle, and
// the start, commit, commit-retaining and rollback calls.
#pragma once

#include <ibase.h>
#include <string>
#include <vector>

#include "db/FbCall.h"

class TFbConnection;

enum class TIsolationLevel { ilReadCommitted, ilReadUnCommitted, ilRepeatableRead, ilIsolated, ilSnapshot, ilCustom };

class TFbTransaction {
 public:
  void AddConnection(TFbConnection* connection);
  void RemoveConnection(TFbConnection* connection);
  const std::vector<TFbConnection*>& Connections() const { return FConnections; }

  void SetIsolationLevel(TIsolationLevel level);
  void SetReadOnly(bool readOnly);

  void StartTransaction();
  void Commit();
  void CommitRetaining();
  void Rollback();
  // Forgets the handle without a server call.
  void Reset() { FTransactionHandle = 0; }
  bool GetInTransaction() const { return FTransactionHandle != 0; }

  // The buffer of the last start: 3, then the isolation items, then read or write.
  const std::string& TPB() const { return FTPB; }
  isc_tr_handle* Handle() { return &FTransactionHandle; }

  // The component stamped on this transaction's errors.
  const void* FComponent = nullptr;

 private:
  void BuildTPB();
  void Check(ISC_STATUS status);
  ISC_STATUS CallOnHandle(TFbEntry entry);
  TFbClient& Client();

  std::vector<TFbConnection*> FConnections;
  TIsolationLevel FIsolationLevel = TIsolationLevel::ilReadCommitted;
  bool FReadOnly = false;
  isc_tr_handle FTransactionHandle = 0;
  std::string FTPB;
  bool FParamsChanged = true;
  ISC_STATUS_ARRAY FStatusVector{};
  TFbClient* FClient = nullptr;
};
