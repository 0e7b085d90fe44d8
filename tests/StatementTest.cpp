#include <gtest/gtest.h>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "db/DbTransaction.h"
#include "platform/Exception.h"
#include "support/FirebirdTools.h"
#include "support/TestFolder.h"

namespace {

// A real database with table T (two rows) and the repair's connection on it.
struct TLiveDatabase {
  TTestFolder folder{"Dữ liệu"};
  std::string path = folder / "VYR.FDB";
  TDbConnection cnn;
  TDbTransaction Trans;
  std::vector<std::string> events;

  explicit TLiveDatabase(const std::string& createOptions = "default character set UTF8") {
    RunIsql("create database " + SqlLiteral(path) + " user 'SYSDBA' " + createOptions + ";\n"
            "create table T (ID integer not null primary key, NAME varchar(40));\n"
            "insert into T values (1, 'a');\ninsert into T values (2, 'b');\ncommit;\n");
    cnn.SetProviderName("Firebird");
    cnn.ProviderOptions().Add("Firebird.Charset=UTF8");
    cnn.ProviderOptions().Add("Firebird.UseUnicode=True");
    cnn.ProviderOptions().SetValue("ClientLibrary", std::string(PROGRAM_FOLDER) + "/libfbclient.so.2");
    cnn.SetDatabase(path);
    cnn.SetUsername("SYSDBA");
    cnn.SetPassword("quartzfin");
    cnn.OnError = [this](TDbConnection*, EDataAccessError& e, bool&) { events.push_back(e.Message()); };
    Trans.SetDefaultConnection(&cnn);
  }

  template <typename Statement>
  std::int32_t Run(Statement& statement, std::vector<std::string> lines, TDbTransaction* transaction = nullptr) {
    statement.Connection = &cnn;
    statement.Transaction = transaction;
    statement.SQL = std::move(lines);
    statement.Execute();
    return statement.RowsAffected;
  }
  std::string Query(const std::string& sql) { return RunIsqlOn(path, sql); }

  // A second attachment to the same database, from this process's engine.
  void OpenAnother(TDbConnection& other) {
    other.SetProviderName("Firebird");
    other.ProviderOptions().SetValue("ClientLibrary", std::string(PROGRAM_FOLDER) + "/libfbclient.so.2");
    other.SetDatabase(path);
    other.SetUsername("SYSDBA");
    other.Open();
  }
};

TEST(Statements, RowCountsComeFromTheServer) {
  TLiveDatabase db;
  TDbSQL sql;
  EXPECT_EQ(db.Run(sql, {"insert into T values (3, 'c')"}), 1);
  EXPECT_EQ(db.Run(sql, {"update T set NAME = 'x'"}), 3);
  EXPECT_EQ(db.Run(sql, {"delete from T where ID > 1"}), 2);
  TDbQuery block;
  EXPECT_EQ(db.Run(block, {"execute block as begin", "  insert into T values (10, 'p');",
                           "  insert into T values (11, 'q');", "  update T set NAME = 'y' where ID = 1;", "end"},
                   &db.Trans),
            3);
  EXPECT_FALSE(db.Trans.Active());
  db.cnn.Close();
  EXPECT_NE(db.Query("select 'n=' || count(*) from T;\n").find("n=3"), std::string::npos);
}

TEST(Statements, APrepareErrorOfAQueryLeavesItsTransactionActive) {
  TLiveDatabase db;
  db.cnn.Open();
  TDbQuery query;
  EXPECT_THROW(db.Run(query, {"execute block as begin delete from NO_SUCH_TABLE; end"}, &db.Trans), EDbError);
  ASSERT_EQ(db.events.size(), 1u);
  EXPECT_NE(db.events[0].find("NO_SUCH_TABLE"), std::string::npos) << db.events[0];
  EXPECT_TRUE(db.Trans.Active());
  EXPECT_EQ(db.Trans.StartCount(), 1);

  TDbSQL plain;  // the plain statement's failed prepare is committed like any failed execution
  EXPECT_THROW(db.Run(plain, {"delete from NO_SUCH_TABLE"}), EDbError);
  EXPECT_FALSE(db.cnn.InTransaction());
}

TEST(Statements, ABlankTextIsRefusedBeforeAnyServerStatement) {
  TLiveDatabase db;
  TDbSQL sql;
  try {
    db.Run(sql, {"   ", "\t"});
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "SQL statement cannot be empty");
  }
  EXPECT_FALSE(db.cnn.InTransaction());
  EXPECT_TRUE(db.events.empty());
}

TEST(Statements, MarkersAreBoundByNameAndLiteralsLeftAlone) {
  TLiveDatabase db;
  TDbSQL sql;
  sql.Params = {{"NEWNAME", std::string("time: :now")}, {"ID", std::string("2")}};
  EXPECT_EQ(db.Run(sql, {"update T set NAME = :NEWNAME where ID = :ID and NAME <> 'x:y'"}), 1);
  TDbQuery block;
  block.Params = {{"p", std::string("5")}};
  EXPECT_EQ(db.Run(block, {"execute block (p integer = :p) as declare variable v integer; begin",
                           "  v = :p; insert into T values (:v, 'v'); end"}, &db.Trans),
            1);
  db.cnn.Close();
  const std::string rows = db.Query("select ID || '=' || NAME from T order by ID;\n");
  EXPECT_NE(rows.find("2=time: :now"), std::string::npos) << rows;
  EXPECT_NE(rows.find("5=v"), std::string::npos) << rows;
}

TEST(Statements, TheSameComponentRunsTwice) {
  TLiveDatabase db;
  TDbQuery query;
  EXPECT_EQ(db.Run(query, {"update T set NAME = 'z'"}, &db.Trans), 2);
  query.Execute();
  EXPECT_EQ(query.RowsAffected, 2);
  EXPECT_FALSE(db.Trans.Active());
}

TEST(CharacterSetFacts, FollowTheDatabaseAndTheConnection) {
  TLiveDatabase utf8;
  utf8.cnn.Open();
  const TFbConnection& physical = *utf8.cnn.PhysicalConnection();
  EXPECT_EQ(physical.FCharsetId, 4);  // UTF8
  EXPECT_EQ(physical.FCharLength, 4);
  EXPECT_EQ(physical.FDBCharsetId, 4);
  EXPECT_FALSE(utf8.cnn.InTransaction());
  utf8.cnn.Close();
  EXPECT_EQ(physical.FCharsetId, 0);
  EXPECT_EQ(physical.FCharLength, 0);

  TLiveDatabase none("");
  none.cnn.Open();
  // Firebird 3 names NONE as the default character set, so DB_CH is not null.
  EXPECT_EQ(none.cnn.PhysicalConnection()->FCharsetId, 4);
  EXPECT_EQ(none.cnn.PhysicalConnection()->FDBCharsetId, 0);
  EXPECT_EQ(none.cnn.PhysicalConnection()->FDBCharLength, 1);
  none.cnn.Close();

  TLiveDatabase fss;
  fss.cnn.ProviderOptions().SetValue("Charset", "");
  fss.cnn.Open();
  EXPECT_EQ(fss.cnn.PhysicalConnection()->FCharsetId, 3);  // UNICODE_FSS
  EXPECT_EQ(fss.cnn.PhysicalConnection()->FCharLength, 3);
}

}  // namespace

namespace {

TEST(Statements, AWorkWhoseAutomaticCommitFailedNeverLandsWithALaterStatement) {
  TLiveDatabase db;
  TDbSQL create;
  db.Run(create, {"create table U (ID integer)"});
  // another attachment of this process keeps T in use, so dropping it fails at commit
  TDbConnection other;
  db.OpenAnother(other);
  TDbTransaction otherTrans;
  otherTrans.SetDefaultConnection(&other);
  otherTrans.StartTransaction();
  TDbQuery reader;
  reader.Connection = &other;
  reader.Transaction = &otherTrans;
  reader.SQL = {"select count(*) from T"};
  reader.Execute();

  TDbSQL drop;
  EXPECT_THROW(db.Run(drop, {"drop table T"}), EDbError);
  otherTrans.Rollback();
  other.Close();
  TDbSQL unrelated;
  db.Run(unrelated, {"insert into U values (1)"});
  db.cnn.Close();
  EXPECT_NE(db.Query("select 'rows=' || count(*) from T;\n").find("rows=2"), std::string::npos)
      << "the failed drop was committed later";
}

}  // namespace

namespace {

TEST(Statements, ALostConnectionInTheMiddleOfWorkIsReportedOnceAndClosesInsteadOfReconnecting) {
  TLiveDatabase db;
  TDbQuery work;
  db.cnn.Open();
  db.Trans.StartTransaction();
  db.Run(work, {"update T set NAME = 'x' where ID = 1"}, &db.Trans);
  ASSERT_TRUE(db.Trans.Active());
  // an administrator ends the repair's attachment from another one
  TDbConnection admin;
  db.OpenAnother(admin);
  TDbSQL end;
  end.Connection = &admin;
  end.SQL = {"delete from mon$attachments where mon$attachment_id <> current_connection"};
  end.Execute();
  admin.Close();

  db.events.clear();
  EXPECT_THROW(db.Run(work, {"update T set NAME = 'y' where ID = 2"}, &db.Trans), EDbError);
  EXPECT_EQ(db.events.size(), 1u);
  EXPECT_FALSE(db.Trans.Active());
  EXPECT_FALSE(db.cnn.Connected());
  // the next statement opens a fresh attachment and works
  TDbSQL next;
  EXPECT_EQ(db.Run(next, {"update T set NAME = 'z' where ID = 2"}), 1);
  db.cnn.Close();
  const std::string names = db.Query("select 'first=' || NAME from T where ID = 1;\nselect 'second=' || NAME from T where ID = 2;\n");
  EXPECT_NE(names.find("first=x"), std::string::npos) << names;  // committed (retaining) before the loss
  EXPECT_NE(names.find("second=z"), std::string::npos) << names;
}

}  // namespace

#include "repair/RepairStatements.h"

namespace {

TEST(Statements, ALongServerErrorReachesTheLogWithoutAStatusVectorOverflowNote) {
  TLiveDatabase db;  // no VYR domains: statement 3's execute statement fails deep inside
  TDbQuery create;
  EXPECT_THROW(db.Run(create, CreateTempTablesBlock(), &db.Trans), EDbError);
  ASSERT_FALSE(db.events.empty());
  EXPECT_EQ(db.events[0].find("Missing arg"), std::string::npos) << db.events[0];
  EXPECT_NE(db.events[0].find("DM_NAM"), std::string::npos) << db.events[0];
}

}  // namespace
