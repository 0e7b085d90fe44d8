#include <gtest/gtest.h>

#include <memory>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "db/DbTransaction.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "support/LoadedLibrary.h"
#include "support/TestFolder.h"

namespace {

// A private copy of the recording client, loaded by the test too.
std::unique_ptr<TLoadedLibrary> CopyFakeClient(const std::string& path) {
  if (auto failure = platform::CopyFile(FAKE_CLIENT_PATH, path)) throw Exception(failure->Text);
  return std::make_unique<TLoadedLibrary>(path, true);
}

// A connection on a private copy of the recording client.
struct TRecordedConnection {
  TTestFolder folder;
  std::string library = folder / ("fakeclient" + SharedLibrarySuffix);
  std::unique_ptr<TLoadedLibrary> handle;
  TDbConnection cnn;
  TDbTransaction Trans;

  TRecordedConnection() {
    handle = CopyFakeClient(library);
    cnn.SetProviderName("Firebird");
    cnn.ProviderOptions().Add("Firebird.Charset=UTF8");
    cnn.ProviderOptions().Add("Firebird.UseUnicode=True");
    cnn.ProviderOptions().SetValue("ClientLibrary", library);
    cnn.SetDatabase("/srv/VYR10/DATA/VYR.FDB");
    cnn.SetUsername("SYSDBA");
    cnn.SetPassword("quartzfin");
    Trans.SetDefaultConnection(&cnn);
    cnn.Open();
    Clear();
  }
  template <typename F>
  F Control(const char* name) { return handle->Call<F>(name); }
  std::string Calls() { return Control<const char* (*)()>("FakeClient_Calls")(); }
  void Clear() { Control<void (*)()>("FakeClient_ClearCalls")(); }
  std::string Prepared() { return Control<const char* (*)()>("FakeClient_LastPrepared")(); }
  std::string Tpb() { return Control<const char* (*)()>("FakeClient_LastTpb")(); }
  void Type(short type) { Control<void (*)(short)>("FakeClient_SetStatementType")(type); }
  // An open transaction whose next rollbacks the server refuses; the calls
  // recorded from here on.
  void RefuseRollbacks(int times, long code, const char* message) {
    cnn.StartTransaction();
    Control<void (*)(int, long, const char*)>("FakeClient_RefuseRollbacks")(times, code, message);
    Clear();
  }

  // One step of the data stage: start if inactive, execute, apply, commit.
  void Step(TDbSQL& statement) {
    if (!cnn.InTransaction()) cnn.StartTransaction();
    statement.Execute();
    cnn.ApplyUpdates();
    cnn.Commit();
  }
};

TEST(StatementCalls, OpeningReadsTheCharacterSetFactsAndLeavesNoTransaction) {
  TTestFolder folder;
  const std::string library = folder / ("fakeclient" + SharedLibrarySuffix);
  auto handle = CopyFakeClient(library);
  TDbConnection cnn;
  cnn.SetProviderName("Firebird");
  cnn.ProviderOptions().SetValue("ClientLibrary", library);
  cnn.SetDatabase("/srv/x.fdb");
  cnn.Open();
  auto calls = handle->Call<const char* (*)()>("FakeClient_Calls")();
  EXPECT_STREQ(calls, "attach,start,alloc,prepare,type,describe,execute2,fetch,close,free,commit");
  EXPECT_FALSE(cnn.InTransaction());
  cnn.Close();
}

TEST(StatementCalls, AQueryOnTransRunsInItsOwnStartAndCommit) {
  TRecordedConnection r;
  TDbQuery udDMPB;
  udDMPB.Connection = &r.cnn;
  udDMPB.Transaction = &r.Trans;
  udDMPB.SQL = {"execute block as begin", "  update DMPB set ID = gen_id(G_ID, 1) where ID is null;", "end"};
  r.Type(8);
  r.Step(udDMPB);
  EXPECT_EQ(r.Calls(), "start,start,alloc,prepare,type,execute2(out),counts,commit,free,commit");
  EXPECT_EQ(r.Tpb(), std::string("\x03\x0f\x11\x07\x09"));
  EXPECT_FALSE(r.Trans.Active());
  EXPECT_FALSE(r.cnn.InTransaction());
  EXPECT_EQ(udDMPB.RowsAffected, 7);  // 4 inserted + 2 updated + 1 deleted
  EXPECT_FALSE(udDMPB.Active());
}

TEST(StatementCalls, APlainStatementOnTheOwnTransactionCommitsRetaining) {
  TRecordedConnection r;
  TDbSQL udDMPB2;
  udDMPB2.Connection = &r.cnn;
  udDMPB2.SQL = {"  update DMPB", "  set ID = 1", "  where ID is null;", "  "};
  r.Type(3);
  r.Step(udDMPB2);
  EXPECT_EQ(r.Calls(), "start,alloc,prepare,type,execute,counts,free,commit_retaining,commit");
  EXPECT_EQ(r.Prepared(), "  update DMPB\r\n  set ID = 1\r\n  where ID is null;");
  EXPECT_EQ(r.cnn.DefaultTransaction()->StartCount(), 0);
}

TEST(StatementCalls, LineCommentsAndColonsAfterDeclareReachPrepareUnchangedButRewritten) {
  TRecordedConnection r;
  TDbQuery Sql;
  Sql.Connection = &r.cnn;
  Sql.Transaction = &r.Trans;
  Sql.SQL = {"execute block as declare variable N varchar(20);", "begin", "  -------------------", "  N = :N;", "end"};
  r.Step(Sql);
  EXPECT_EQ(r.Prepared(), "execute block as declare variable N varchar(20);\r\nbegin\r\n  /*-----------------*/\r\n  N = :N;\r\nend");
  EXPECT_EQ(r.Calls().find("inputs!"), std::string::npos);
}

TEST(StatementCalls, ExplicitTransactionsFollowTheStartCounter) {
  TRecordedConnection r;
  EXPECT_THROW(r.cnn.Commit(), Exception);  // inactive: nothing sent
  EXPECT_EQ(r.Calls(), "");
  r.cnn.StartTransaction();
  EXPECT_TRUE(r.cnn.InTransaction());
  EXPECT_FALSE(r.Trans.Active());
  try {
    r.cnn.StartTransaction();
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Can't perform operation on active transaction");
  }
  EXPECT_TRUE(r.cnn.InTransaction());
  r.Trans.StartTransaction();
  r.Clear();
  r.cnn.Close();  // both active: rolled back before the detach
  EXPECT_EQ(r.Calls(), "rollback,rollback,detach");
}

constexpr long Cancelled = 335544794;     // isc_cancelled: a cancel still pending on the attachment
constexpr long NetworkError = 335544721;  // isc_network_error: the connection is gone

// A rollback refused once (a cancel that fired after its call had ended) is
// asked again, and only then is the database detached.
TEST(ConnectionClose, ARefusedRollbackIsAskedAgainBeforeTheDetach) {
  TRecordedConnection r;
  r.RefuseRollbacks(1, Cancelled, "operation was cancelled");
  r.cnn.Close();
  EXPECT_EQ(r.Calls(), "rollback refused,rollback,detach");
  EXPECT_FALSE(r.cnn.Connected());
}

// A transaction the server goes on holding keeps its handle and the
// connection stays attached: the close raises, so the caller knows the
// database is still open here, and a later close finishes the job.
TEST(ConnectionClose, ATransactionTheServerKeepsLeavesTheConnectionAttachedAndRaises) {
  TRecordedConnection r;
  r.RefuseRollbacks(2, Cancelled, "operation was cancelled");
  try {
    r.cnn.Close();
    FAIL() << "the close reported success";
  } catch (const EDbError& error) {
    EXPECT_NE(error.Message().find("operation was cancelled"), std::string::npos) << error.Message();
  }
  EXPECT_EQ(r.Calls(), "rollback refused,rollback refused");
  EXPECT_TRUE(r.cnn.Connected());
  EXPECT_TRUE(r.cnn.InTransaction());
  r.Clear();
  r.cnn.Close();
  EXPECT_EQ(r.Calls(), "rollback,detach");
  EXPECT_FALSE(r.cnn.Connected());
}

// A connection lost under the close is not attached again to roll back:
// its transaction went with it.
TEST(ConnectionClose, ALostConnectionIsNeverAttachedAgainByTheClose) {
  TRecordedConnection r;
  r.RefuseRollbacks(1, NetworkError, "Error writing data to the connection.");
  r.cnn.Close();
  EXPECT_EQ(r.Calls().find("attach"), std::string::npos) << r.Calls();
  EXPECT_FALSE(r.cnn.Connected());
  EXPECT_FALSE(r.cnn.InTransaction());
}

TEST(StatementCalls, TransactionParameterBuffersFollowTheSettings) {
  TRecordedConnection r;
  r.Trans.SetReadOnly(true);
  r.Trans.StartTransaction();
  EXPECT_EQ(r.Tpb(), std::string("\x03\x0f\x11\x07\x08"));
  EXPECT_THROW(r.Trans.SetIsolationLevel(TIsolationLevel::ilSnapshot), Exception);
  r.Trans.Commit();
  r.Trans.SetReadOnly(false);
  r.Trans.SetIsolationLevel(TIsolationLevel::ilSnapshot);
  r.Trans.StartTransaction();
  EXPECT_EQ(r.Tpb(), std::string("\x03\x02\x07\x09"));
  r.Trans.Rollback();
  r.Trans.SetIsolationLevel(TIsolationLevel::ilIsolated);
  r.Trans.StartTransaction();
  EXPECT_EQ(r.Tpb(), std::string("\x03\x01\x09"));
  r.Trans.Rollback();
  r.Trans.SetIsolationLevel(TIsolationLevel::ilReadUnCommitted);
  try {
    r.Trans.StartTransaction();
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Unsupported transaction isolation level");
  }
}

}  // namespace

namespace {

TEST(StatementCalls, APortChangedAfterTheFirstOpenReachesTheConnectionText) {
  TRecordedConnection r;
  auto lastFileName = r.Control<const char* (*)()>("FakeClient_LastFileName");
  r.cnn.SetServer("db.local");
  r.cnn.SetPort(3051);
  r.cnn.Open();
  EXPECT_STREQ(lastFileName(), "db.local/3051:/srv/VYR10/DATA/VYR.FDB");
  r.cnn.SetPort(3052);
  r.cnn.Open();
  EXPECT_STREQ(lastFileName(), "db.local/3052:/srv/VYR10/DATA/VYR.FDB");
  r.cnn.Close();
}

}  // namespace
