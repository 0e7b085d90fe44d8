// A recording stand-in for the Firebird client library, for what the real
// one cannot show: version texts, the exact parameter buffer and file name
// bytes, scripted failures. Tests reach its controls through dlsym.
#include <cstdint>
#include <cstring>
#include <ibase.h>
#include <string>
#include <vector>

#ifdef _WIN32
#define FAKE_EXPORT extern "C" __declspec(dllexport)
#else
#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

std::string versionText = "LI-V6.3.11.33637 Firebird 3.0";
std::string lastFileName;
std::string lastDpb;
std::vector<std::string> errorLines;  // messages of the scripted failure
bool failAttach = false;
int attachCount = 0;
std::size_t interpretCursor = 0;
std::string calls;           // every call of the statement and transaction path, comma-separated
std::string lastTpb;
std::string lastPrepared;
short statementType = 8;     // what isc_dsql_sql_info reports
int rollbacksToRefuse = 0;   // the next rollbacks fail with refusalCode, the transaction kept
ISC_STATUS refusalCode = 0;
bool transactionOpen = false;

void Called(const char* name) {
  if (!calls.empty()) calls += ",";
  calls += name;
}

}  // namespace

FAKE_EXPORT void FakeClient_SetVersion(const char* text) { versionText = text; }
FAKE_EXPORT void FakeClient_FailAttach(const char* firstLine, const char* secondLine) {
  failAttach = firstLine != nullptr;
  errorLines.clear();
  if (firstLine != nullptr) errorLines.push_back(firstLine);
  if (secondLine != nullptr) errorLines.push_back(secondLine);
}
FAKE_EXPORT const char* FakeClient_LastFileName() { return lastFileName.c_str(); }
FAKE_EXPORT std::size_t FakeClient_LastDpb(char* out) {
  std::memcpy(out, lastDpb.data(), lastDpb.size());
  return lastDpb.size();
}
FAKE_EXPORT int FakeClient_AttachCount() { return attachCount; }
FAKE_EXPORT const char* FakeClient_Calls() { return calls.c_str(); }
FAKE_EXPORT void FakeClient_ClearCalls() { calls.clear(); }
FAKE_EXPORT const char* FakeClient_LastTpb() { return lastTpb.c_str(); }
FAKE_EXPORT const char* FakeClient_LastPrepared() { return lastPrepared.c_str(); }
FAKE_EXPORT void FakeClient_SetStatementType(short type) { statementType = type; }
FAKE_EXPORT void FakeClient_RefuseRollbacks(int times, long code, const char* message) {
  rollbacksToRefuse = times;
  refusalCode = code;
  errorLines.assign(1, message);
}

namespace {

ISC_STATUS Fail(ISC_STATUS* status, ISC_STATUS code) {
  status[0] = 1;
  status[1] = code;
  status[2] = 0;
  interpretCursor = 0;
  return code;
}

}  // namespace

struct TExistence {
  isc_db_handle* Database;
  int Length;
  const char* Tpb;
};

FAKE_EXPORT ISC_STATUS isc_start_multiple(ISC_STATUS* status, isc_tr_handle* handle, short, void* block) {
  Called("start");
  auto* existence = static_cast<TExistence*>(block);
  lastTpb.assign(existence->Tpb, static_cast<std::size_t>(existence->Length));
  *handle = 7;
  transactionOpen = true;
  status[1] = 0;
  return 0;
}
// A commit or rollback: the transaction ends.
ISC_STATUS EndTransaction(const char* name, ISC_STATUS* status, isc_tr_handle* handle) {
  Called(name);
  *handle = 0;
  transactionOpen = false;
  status[1] = 0;
  return 0;
}

FAKE_EXPORT ISC_STATUS isc_commit_transaction(ISC_STATUS* status, isc_tr_handle* handle) {
  return EndTransaction("commit", status, handle);
}
FAKE_EXPORT ISC_STATUS isc_commit_retaining(ISC_STATUS* status, isc_tr_handle*) {
  Called("commit_retaining");
  status[1] = 0;
  return 0;
}
// A refused rollback leaves the transaction and its handle as they were; a
// lost connection takes the transaction with it.
FAKE_EXPORT ISC_STATUS isc_rollback_transaction(ISC_STATUS* status, isc_tr_handle* handle) {
  if (rollbacksToRefuse > 0) {
    --rollbacksToRefuse;
    Called("rollback refused");
    if (refusalCode != 335544794) transactionOpen = false;  // anything but isc_cancelled: the connection is gone
    return Fail(status, refusalCode);
  }
  return EndTransaction("rollback", status, handle);
}
FAKE_EXPORT ISC_STATUS isc_dsql_alloc_statement2(ISC_STATUS* status, isc_db_handle*, isc_stmt_handle* statement) {
  Called("alloc");
  *statement = 9;
  status[1] = 0;
  return 0;
}
FAKE_EXPORT ISC_STATUS isc_dsql_prepare(ISC_STATUS* status, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                                        const char* text, unsigned short, XSQLDA*) {
  Called("prepare");
  lastPrepared = text;
  status[1] = 0;
  return 0;
}
FAKE_EXPORT ISC_STATUS isc_dsql_sql_info(ISC_STATUS* status, isc_stmt_handle*, short, const char* items, short,
                                         char* result) {
  if (items[0] == isc_info_sql_stmt_type) {
    Called("type");
    const char answer[] = {isc_info_sql_stmt_type, 4, 0, static_cast<char>(statementType), 0, 0, 0, isc_info_end};
    std::memcpy(result, answer, sizeof answer);
  } else {
    Called("counts");
    char answer[40] = {isc_info_sql_records};
    answer[6] = 2;   // updated
    answer[13] = 1;  // deleted
    answer[27] = 4;  // inserted
    std::memcpy(result, answer, sizeof answer);
  }
  status[1] = 0;
  return 0;
}
FAKE_EXPORT ISC_STATUS isc_dsql_describe(ISC_STATUS* status, isc_stmt_handle*, unsigned short, XSQLDA* area) {
  Called("describe");
  area->sqld = 0;
  status[1] = 0;
  return 0;
}
FAKE_EXPORT ISC_STATUS isc_dsql_execute2(ISC_STATUS* status, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                                         const XSQLDA* in, const XSQLDA* out) {
  Called(out != nullptr ? "execute2(out)" : "execute2");
  if (in != nullptr && in->sqln != 0) Called("inputs!");
  status[1] = 0;
  return 0;
}
FAKE_EXPORT ISC_STATUS isc_dsql_execute(ISC_STATUS* status, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                                        const XSQLDA*) {
  Called("execute");
  status[1] = 0;
  return 0;
}
FAKE_EXPORT ISC_STATUS isc_dsql_fetch(ISC_STATUS* status, isc_stmt_handle*, unsigned short, const XSQLDA*) {
  Called("fetch");
  status[1] = 0;
  return 100;
}
FAKE_EXPORT ISC_STATUS isc_dsql_free_statement(ISC_STATUS* status, isc_stmt_handle* statement, unsigned short option) {
  Called(option == DSQL_drop ? "free" : "close");
  if (option == DSQL_drop) *statement = 0;
  status[1] = 0;
  return 0;
}

#ifndef FAKE_CLIENT_WITHOUT_VERSION
FAKE_EXPORT void isc_get_client_version(char* buffer) { std::strcpy(buffer, versionText.c_str()); }
#endif
FAKE_EXPORT int isc_get_client_major_version() { return 3; }
FAKE_EXPORT int isc_get_client_minor_version() { return 0; }
FAKE_EXPORT ISC_STATUS isc_rollback_retaining(ISC_STATUS*, isc_tr_handle*) { return 0; }

FAKE_EXPORT ISC_STATUS isc_attach_database(ISC_STATUS* status, short length, const char* name, isc_db_handle* handle,
                                           short dpbLength, const char* dpb) {
  ++attachCount;
  Called("attach");
  lastFileName.assign(name, static_cast<std::size_t>(length));
  lastDpb.assign(dpb, static_cast<std::size_t>(dpbLength));
  if (failAttach) {
    status[0] = 1;
    status[1] = 335544344;  // isc_io_error
    status[2] = 0;
    interpretCursor = 0;
    return status[1];
  }
  *handle = 1;
  status[0] = 1;
  status[1] = 0;
  return 0;
}

// Like the server, it will not detach from under an open transaction
// (isc_open_trans).
FAKE_EXPORT ISC_STATUS isc_detach_database(ISC_STATUS* status, isc_db_handle* handle) {
  if (transactionOpen) {
    Called("detach refused");
    errorLines.assign(1, "cannot disconnect database with open transactions (1 active)");
    return Fail(status, 335544357);
  }
  Called("detach");
  *handle = 0;
  status[1] = 0;
  return 0;
}

FAKE_EXPORT ISC_STATUS isc_database_info(ISC_STATUS* status, isc_db_handle*, short, const char*, short, char* result) {
  const char answer[] = {isc_info_db_sql_dialect, 1, 0, 3, isc_info_end};
  std::memcpy(result, answer, sizeof answer);
  status[1] = 0;
  return 0;
}

FAKE_EXPORT ISC_LONG isc_sqlcode(const ISC_STATUS*) { return -902; }
FAKE_EXPORT void isc_sql_interprete(short, char* buffer, short) { std::strcpy(buffer, "sql code -902"); }

FAKE_EXPORT ISC_LONG fb_interpret(char* buffer, unsigned size, const ISC_STATUS** cursor) {
  if (interpretCursor >= errorLines.size()) return 0;
  std::strncpy(buffer, errorLines[interpretCursor].c_str(), size - 1);
  buffer[size - 1] = '\0';
  ++interpretCursor;
  return static_cast<ISC_LONG>(std::strlen(buffer));
}
