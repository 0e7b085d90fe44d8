#include <gtest/gtest.h>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "db/DbTransaction.h"
#include "platform/Files.h"
#include "support/FirebirdTools.h"
#include "support/TestFolder.h"

namespace {

using Lines = std::vector<std::string>;
const std::string ClientLibrary = std::string(PROGRAM_FOLDER) + "/libfbclient.so.2";

// The connection exactly as the repair sets it up, on Debian's client.
struct TRepairConnection {
  TDbConnection cnn;
  Lines events;
  explicit TRepairConnection(const std::string& database) {
    cnn.SetProviderName("Firebird");
    cnn.ProviderOptions().Add("Firebird.Charset=UTF8");
    cnn.ProviderOptions().Add("Firebird.UseUnicode=True");
    cnn.LoginPrompt = false;
    cnn.ProviderOptions().SetValue("ClientLibrary", ClientLibrary);
    cnn.ProviderOptions().SetValue("UseUnicode", "True");
    cnn.SetDatabase(database);
    cnn.SetUsername("SYSDBA");
    cnn.SetPassword("quartzfin");
    cnn.OnError = [this](TDbConnection*, EDataAccessError& e, bool&) { events.push_back(e.Message()); };
  }
};

TEST(DbConnection, OpensAVietnameseNamedDatabaseAndClosesIt) {
  TTestFolder folder("Kế toán 'VYR'");
  CreateTestDatabase(folder / "VYR.FDB");
  TRepairConnection connection(folder / "VYR.FDB");
  connection.cnn.Open();
  EXPECT_TRUE(connection.cnn.Connected());
  connection.cnn.Open();  // already open: nothing happens
  EXPECT_EQ(connection.cnn.PhysicalConnection()->FSQLDialect, 3);
  EXPECT_GE(connection.cnn.PhysicalConnection()->Client()->Version, 30000);
  EXPECT_TRUE(platform::IsFileInUse(folder / "VYR.FDB"));
  connection.cnn.Close();
  connection.cnn.Close();
  EXPECT_FALSE(connection.cnn.Connected());
  EXPECT_FALSE(platform::IsFileInUse(folder / "VYR.FDB"));  // gbak may run now
  connection.cnn.Open();
  EXPECT_EQ(connection.cnn.PhysicalConnection()->Params(), Lines{"utf8_filename"});
  EXPECT_TRUE(connection.events.empty());
}

TEST(DbConnection, AMissingFileFiresOnErrorOnceAndRaisesTheSameText) {
  TTestFolder folder;
  TRepairConnection connection(folder / "none/VYR.FDB");
  try {
    connection.cnn.Open();
    FAIL();
  } catch (const EDbError& error) {
    ASSERT_EQ(connection.events.size(), 1u);
    EXPECT_EQ(error.Message(), connection.events[0]);
    EXPECT_NE(error.Message().find("\r"), std::string::npos);  // several server lines, joined by CR
    EXPECT_EQ(error.Message().find("\n"), std::string::npos);
    EXPECT_NE(error.Message().find(folder / "none/VYR.FDB"), std::string::npos) << error.Message();
  }
  EXPECT_FALSE(connection.cnn.Connected());
}

TEST(DbConnection, AFileThatIsNoDatabaseIsAServerError) {
  TTestFolder folder;
  WriteTextFile(folder / "VYR.FDB", std::string(8192, 'x'));
  TRepairConnection connection(folder / "VYR.FDB");
  EXPECT_THROW(connection.cnn.Open(), EDbError);
  ASSERT_EQ(connection.events.size(), 1u);
  EXPECT_NE(connection.events[0].find("not a valid database"), std::string::npos) << connection.events[0];
}

TEST(DbConnection, AMissingClientLibraryIsNoServerError) {
  TTestFolder folder;
  CreateTestDatabase(folder / "VYR.FDB");
  TRepairConnection connection(folder / "VYR.FDB");
  connection.cnn.ProviderOptions().SetValue("ClientLibrary", "/no/such/libfbclient.so.2");
  try {
    connection.cnn.Open();
    FAIL();
  } catch (const EDataAccessError&) {
    FAIL() << "not a server error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "Cannot load client library: /no/such/libfbclient.so.2");
  }
  EXPECT_TRUE(connection.events.empty());
}

TEST(DbConnection, ADialectOneDatabaseLowersTheDialect) {
  TTestFolder folder;
  RunIsql("set sql dialect 1;\ncreate database " + SqlLiteral(folder / "D1.FDB") + " user 'SYSDBA';\n");
  ASSERT_TRUE(platform::FileExists(folder / "D1.FDB"));
  TRepairConnection connection(folder / "D1.FDB");
  connection.cnn.Open();
  EXPECT_EQ(connection.cnn.PhysicalConnection()->FDBSQLDialect, 1);
  EXPECT_EQ(connection.cnn.PhysicalConnection()->FSQLDialect, 1);
}

TEST(DbConnection, SettingsCannotChangeUnderAnOpenConnection) {
  TTestFolder folder;
  CreateTestDatabase(folder / "VYR.FDB");
  TRepairConnection connection(folder / "VYR.FDB");
  connection.cnn.Open();
  EXPECT_THROW(connection.cnn.SetProviderName("Other"), EDatabaseError);
  connection.cnn.SetPassword("another");  // a change closes the connection first
  EXPECT_FALSE(connection.cnn.Connected());
  connection.cnn.Open();
  connection.cnn.ProviderOptions().SetValue("SQLDialect", "3");
  EXPECT_FALSE(connection.cnn.Connected());
}

}  // namespace

namespace {

TEST(DbConnection, AnotherSpellingOfTheProviderKeepsThePhysicalConnection) {
  TDbConnection cnn;
  cnn.SetProviderName("Firebird");
  cnn.SetDatabase("/nowhere/VYR.FDB");
  EXPECT_THROW(cnn.Open(), Exception);  // creates the physical connection, then fails to attach
  TFbConnection* physical = cnn.PhysicalConnection();
  ASSERT_NE(physical, nullptr);
  cnn.SetProviderName("FIREBIRD");
  EXPECT_EQ(cnn.PhysicalConnection(), physical);
  EXPECT_EQ(cnn.ProviderName(), "FIREBIRD");
}

TEST(DbConnection, AChangedProviderLeavesNoTransactionOrStatementOnTheOldPhysicalConnection) {
  TTestFolder folder;
  CreateTestDatabase(folder / "VYR.FDB");
  TDbConnection cnn;
  cnn.SetProviderName("Firebird");
  cnn.ProviderOptions().SetValue("ClientLibrary", std::string(PROGRAM_FOLDER) + "/libfbclient.so.2");
  cnn.SetDatabase(folder / "VYR.FDB");
  cnn.SetUsername("SYSDBA");
  TDbTransaction Trans;
  Trans.SetDefaultConnection(&cnn);
  TDbQuery query;
  query.Connection = &cnn;
  query.Transaction = &Trans;
  query.SQL = {"update T set NAME = NAME"};
  query.Execute();
  cnn.Close();
  cnn.SetProviderName("");
  cnn.SetProviderName("Firebird");
  query.Execute();  // a new physical connection, the same components
  ASSERT_NE(Trans.Physical(), nullptr);
  EXPECT_EQ(Trans.Physical()->Connections(), std::vector<TFbConnection*>{cnn.PhysicalConnection()});
  cnn.Close();
}

}  // namespace
