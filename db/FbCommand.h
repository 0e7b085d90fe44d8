// The physical Firebird statement: prepare, execute by statement type, row
// counts, free, and the row-returning path of the connection's own queries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ibase.h>
#include <optional>
#include <string>
#include <vector>

#include "db/SqlScanner.h"

class TFbConnection;
class TFbTransaction;

enum class TCursorState { csInactive, csOpen, csParsed, csPrepared, csBound, csExecuteFetchAll, csExecuting,
                          csExecuted, csFetching, csFetchingAll, csFetched };

// One input parameter found by the scan; values travel as text (or null).
struct TFbParamDesc {
  std::string Name;
  std::optional<std::string> Value;
};

// A fetched column: its value as text, nothing for null.
using TFbRow = std::vector<std::optional<std::string>>;

class TFbCommand {
 public:
  explicit TFbCommand(TFbConnection* connection);
  ~TFbCommand();
  TFbCommand(const TFbCommand&) = delete;
  TFbCommand& operator=(const TFbCommand&) = delete;

  void SetSQL(const std::string& text, bool scanParams);
  const std::string& NativeSQL() const { return FScanned.NativeText; }
  TParsedSQLType ParsedSQLType() const { return FScanned.Kind; }
  std::vector<TFbParamDesc>& Params() { return FParams; }

  void SetTransaction(TFbTransaction* transaction) { FTransaction = transaction; }
  // Lets go of a physical connection that is gone, without a call through it.
  void Abandon();
  const void* FComponent = nullptr;
  bool FQueryRowsAffected = true;
  std::function<void(bool result)> AfterExecute;

  void Prepare();
  void Execute();
  void Unprepare();
  bool Prepared() const { return FState > TCursorState::csParsed; }
  bool Executing() const { return FExecuting; }
  std::int16_t SQLType() const { return FSQLType; }

  // Rows of a select: the cursor opened, every row fetched, the cursor closed.
  std::vector<TFbRow> Select();

  std::int32_t RowsInserted = 0, RowsUpdated = 0, RowsDeleted = 0, RowsAffected = 0;

 private:
  std::vector<TFbRow> FetchAll();
  void CheckReady() const;
  void Check(ISC_STATUS status);
  void ReadRowCounts();
  XSQLDA* InputArea();
  void FreeStatement(unsigned short option);

  TFbConnection* FConnection;
  TFbTransaction* FTransaction = nullptr;
  TScannedSql FScanned;
  std::vector<TFbParamDesc> FParams;
  std::int16_t FSQLType = 0;
  isc_stmt_handle FStmtHandle = 0;
  ISC_STATUS_ARRAY FStatusVector{};
  TCursorState FState = TCursorState::csInactive;
  bool FExecuting = false;
  std::vector<std::max_align_t> FInArea, FOutArea;
  std::vector<std::string> FInValues;
  std::vector<short> FInNulls;
  std::string FCursorName;  // "A" and 32 hexadecimal digits, for select-for-update statements
};
