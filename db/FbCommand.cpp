#include "db/FbCommand.h"

#include <cstdio>
#include <cstring>
#include <random>

#include "db/FbConnection.h"
#include "platform/Cleanup.h"
#include "platform/Exception.h"
#include "platform/Utf8.h"

namespace {

constexpr char InfoStatementType = isc_info_sql_stmt_type;  // 21
constexpr char InfoRecords = isc_info_sql_records;         // 23

// A version 1 descriptor area for count variables.
XSQLDA* MakeArea(std::vector<std::max_align_t>& storage, int count) {
  const std::size_t bytes = XSQLDA_LENGTH(count < 1 ? 1 : count);
  storage.assign(bytes / sizeof(std::max_align_t) + 1, std::max_align_t{});
  auto* area = reinterpret_cast<XSQLDA*>(storage.data());
  area->version = SQLDA_VERSION1;
  area->sqln = static_cast<short>(count);
  area->sqld = static_cast<short>(count);
  return area;
}

std::int32_t LittleEndian32(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  return static_cast<std::int32_t>(value);
}

std::optional<std::string> ColumnText(const XSQLVAR& column) {
  if ((column.sqltype & 1) && *column.sqlind < 0) return std::nullopt;
  const char* data = column.sqldata;
  switch (column.sqltype & ~1) {
    case SQL_SHORT: { std::int16_t v; std::memcpy(&v, data, 2); return std::to_string(v); }
    case SQL_LONG: { std::int32_t v; std::memcpy(&v, data, 4); return std::to_string(v); }
    case SQL_INT64: { std::int64_t v; std::memcpy(&v, data, 8); return std::to_string(v); }
    case SQL_TEXT: {
      std::string text(data, static_cast<std::size_t>(column.sqllen));
      while (!text.empty() && text.back() == ' ') text.pop_back();
      return text;
    }
    case SQL_VARYING: {
      std::uint16_t length;
      std::memcpy(&length, data, 2);
      return std::string(data + 2, length);
    }
    default:
      throw Exception("Unsupported column type " + std::to_string(column.sqltype & ~1));
  }
}

}  // namespace

TFbCommand::TFbCommand(TFbConnection* connection) : FConnection(connection) {
  std::random_device random;
  char name[34];
  std::snprintf(name, sizeof name, "A%08x%08x%08x%08x", random(), random(), random(), random());
  FCursorName = name;
}

TFbCommand::~TFbCommand() {
  try {
    Unprepare();
  } catch (...) {
  }
}

void TFbCommand::SetSQL(const std::string& text, bool scanParams) {
  FScanned = ScanParameters(text, scanParams);
  FParams.clear();
  for (const auto& name : FScanned.ParamNames) FParams.push_back({name, std::nullopt});
}

void TFbCommand::CheckReady() const {
  if (FConnection == nullptr) throw Exception("Connection is not defined");
  if (!FConnection->Connected()) throw Exception("Can't perform operation on disconnected connection");
  if (FTransaction == nullptr) throw Exception("Transaction not assigned");
  if (!FTransaction->GetInTransaction()) throw Exception("Can't perform operation on inactive transaction");
}

void TFbCommand::Check(ISC_STATUS status) {
  if (status > 0) FConnection->RaiseClientError(FStatusVector, true, FComponent);
}

void TFbCommand::Prepare() {
  if (FState != TCursorState::csInactive) return;
  CheckReady();
  FSQLType = 0;
  if (platform::TrimControlAndBlanks(FScanned.NativeText).empty()) throw Exception("SQL statement cannot be empty");
  TFbClient& client = *FConnection->Client();
  try {
    TClientCall call(client);
    Check(client.Entry<decltype(&isc_dsql_alloc_statement2)>(TFbEntry::isc_dsql_alloc_statement2)(
        FStatusVector, FConnection->DatabaseHandle(), &FStmtHandle));
    // The text is UTF-8 inside the program; that is also the 8-bit code page here.
    Check(client.Entry<decltype(&isc_dsql_prepare)>(TFbEntry::isc_dsql_prepare)(
        FStatusVector, FTransaction->Handle(), &FStmtHandle, 0, FScanned.NativeText.c_str(),
        static_cast<unsigned short>(FConnection->FSQLDialect), nullptr));
    char result[8] = {};
    Check(client.Entry<decltype(&isc_dsql_sql_info)>(TFbEntry::isc_dsql_sql_info)(
        FStatusVector, &FStmtHandle, 1, &InfoStatementType, sizeof result, result));
    if (result[0] != InfoStatementType) throw Exception("SQL information exception");
    const unsigned length = static_cast<unsigned char>(result[1]) | (static_cast<unsigned char>(result[2]) << 8);
    FSQLType = static_cast<std::int16_t>(length == 2 ? (static_cast<unsigned char>(result[3]) |
                                                        (static_cast<unsigned char>(result[4]) << 8))
                                                     : LittleEndian32(result + 3));
    if (FSQLType == 6 || FSQLType == 7 || FSQLType == 9) throw Exception("Unsupported SQL type");
  } catch (...) {
    try {
      Unprepare();
    } catch (...) {
    }
    throw;
  }
  FState = TCursorState::csPrepared;
}

XSQLDA* TFbCommand::InputArea() {
  XSQLDA* area = MakeArea(FInArea, static_cast<int>(FParams.size()));
  FInValues.assign(FParams.size(), std::string());
  FInNulls.assign(FParams.size(), 0);
  for (std::size_t i = 0; i < FParams.size(); ++i) {
    XSQLVAR& var = area->sqlvar[i];
    FInValues[i] = FParams[i].Value.value_or("");
    FInNulls[i] = FParams[i].Value ? 0 : -1;
    var.sqltype = SQL_TEXT + 1;
    var.sqllen = static_cast<short>(FInValues[i].size());
    var.sqldata = FInValues[i].data();
    var.sqlind = &FInNulls[i];
  }
  return area;
}

void TFbCommand::Execute() {
  if (FState == TCursorState::csExecuting) return;
  FExecuting = true;
  bool preparedHere = false;
  try {
    if (!Prepared()) {
      Prepare();
      preparedHere = true;
    }
    XSQLDA* input = InputArea();
    XSQLDA* output = MakeArea(FOutArea, 0);
    const TCursorState before = FState;
    FState = TCursorState::csExecuting;
    TFbClient& client = *FConnection->Client();
    ISC_STATUS status;
    {
      TClientCall call(client);
      const auto dialect = static_cast<unsigned short>(FConnection->FSQLDialect);
      if (FSQLType == 1 || FSQLType == 8 || FSQLType == 12)
        status = client.Entry<decltype(&isc_dsql_execute2)>(TFbEntry::isc_dsql_execute2)(
            FStatusVector, FTransaction->Handle(), &FStmtHandle, dialect, input, FSQLType == 8 ? output : nullptr);
      else
        status = client.Entry<decltype(&isc_dsql_execute)>(TFbEntry::isc_dsql_execute)(
            FStatusVector, FTransaction->Handle(), &FStmtHandle, dialect, input);
    }
    if (status > 0) {
      FState = before;
      Check(status);
    }
    if (FSQLType == 12) {
      ISC_STATUS named;
      {
        TClientCall call(client);
        named = client.Entry<decltype(&isc_dsql_set_cursor_name)>(TFbEntry::isc_dsql_set_cursor_name)(
            FStatusVector, &FStmtHandle, FCursorName.c_str(), 0);
      }
      Check(named);
    }
    FState = TCursorState::csExecuted;
    ReadRowCounts();
    if (preparedHere) Unprepare();
  } catch (...) {
    if (preparedHere) {
      try {
        Unprepare();
      } catch (...) {
      }
    }
    FExecuting = false;
    if (AfterExecute) AfterExecute(false);
    throw;
  }
  FExecuting = false;
  if (AfterExecute) AfterExecute(true);
}

void TFbCommand::ReadRowCounts() {
  RowsInserted = RowsUpdated = RowsDeleted = RowsAffected = 0;
  const bool counted = FQueryRowsAffected && FSQLType != 5 && FSQLType != 13 &&
                       (FSQLType != 8 || FScanned.Kind == TParsedSQLType::qtExecuteBlock ||
                        FScanned.Kind == TParsedSQLType::qtInsertReturning);
  if (!counted) return;
  char result[1024] = {};
  ISC_STATUS status;
  TFbClient& client = *FConnection->Client();
  {
    TClientCall call(client);
    status = client.Entry<decltype(&isc_dsql_sql_info)>(TFbEntry::isc_dsql_sql_info)(FStatusVector, &FStmtHandle, 1,
                                                                                     &InfoRecords, sizeof result, result);
  }
  Check(status);
  if (result[0] != InfoRecords) throw Exception("SQL information exception");
  RowsUpdated = LittleEndian32(result + 6);
  RowsDeleted = LittleEndian32(result + 13);
  RowsInserted = LittleEndian32(result + 27);
  RowsAffected = RowsInserted + RowsUpdated + RowsDeleted;
}

// Closes the cursor (DSQL_close) or frees the statement (DSQL_drop); a
// dropped statement is inactive afterwards even when the call failed.
void TFbCommand::FreeStatement(unsigned short option) {
  ISC_STATUS status = 0;
  if (FStmtHandle != 0 && FConnection != nullptr && FConnection->Connected()) {
    TFbClient& client = *FConnection->Client();
    TClientCall call(client);
    status = client.Entry<decltype(&isc_dsql_free_statement)>(TFbEntry::isc_dsql_free_statement)(FStatusVector,
                                                                                               &FStmtHandle, option);
  }
  if (option == DSQL_drop) {
    FStmtHandle = 0;
    FSQLType = 0;
    FState = TCursorState::csInactive;
  }
  Check(status);
}

void TFbCommand::Unprepare() { FreeStatement(DSQL_drop); }

void TFbCommand::Abandon() {
  FConnection = nullptr;
  FTransaction = nullptr;
  FStmtHandle = 0;
  FSQLType = 0;
  FState = TCursorState::csInactive;
}

std::vector<TFbRow> TFbCommand::Select() {
  Prepare();
  return platform::WithCleanup([this] { return FetchAll(); }, [this] { Unprepare(); });
}

std::vector<TFbRow> TFbCommand::FetchAll() {
  std::vector<TFbRow> rows;
  {
    TFbClient& client = *FConnection->Client();
    const auto dialect = static_cast<unsigned short>(FConnection->FSQLDialect);
    XSQLDA* output = MakeArea(FOutArea, 8);
    auto describe = [&] {
      ISC_STATUS status;
      {
        TClientCall call(client);
        status = client.Entry<decltype(&isc_dsql_describe)>(TFbEntry::isc_dsql_describe)(FStatusVector, &FStmtHandle,
                                                                                       dialect, output);
      }
      Check(status);
    };
    describe();
    if (output->sqld > output->sqln) {
      output = MakeArea(FOutArea, output->sqld);
      describe();
    }
    std::vector<std::string> buffers(static_cast<std::size_t>(output->sqld));
    std::vector<short> nulls(buffers.size(), 0);
    for (int i = 0; i < output->sqld; ++i) {
      XSQLVAR& column = output->sqlvar[i];
      buffers[i].assign(static_cast<std::size_t>(column.sqllen) + 2, '\0');
      column.sqldata = buffers[i].data();
      column.sqlind = &nulls[i];
    }
    ISC_STATUS status;
    {
      TClientCall call(client);
      status = client.Entry<decltype(&isc_dsql_execute2)>(TFbEntry::isc_dsql_execute2)(
          FStatusVector, FTransaction->Handle(), &FStmtHandle, dialect, InputArea(), nullptr);
    }
    Check(status);
    for (;;) {
      ISC_STATUS fetched;
      {
        TClientCall call(client);
        fetched = client.Entry<decltype(&isc_dsql_fetch)>(TFbEntry::isc_dsql_fetch)(FStatusVector, &FStmtHandle,
                                                                                   dialect, output);
      }
      if (fetched == 100) break;
      Check(fetched);
      TFbRow row;
      for (int i = 0; i < output->sqld; ++i) row.push_back(ColumnText(output->sqlvar[i]));
      rows.push_back(std::move(row));
    }
    FState = TCursorState::csFetched;
    FreeStatement(DSQL_close);
  }
  return rows;
}
