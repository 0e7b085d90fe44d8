#include <gtest/gtest.h>

#include <algorithm>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "db/DbTransaction.h"
#include "repair/DataRepairStage.h"
#include "repair/RepairProcedure.h"
#include "repair/RepairTexts.h"
#include "repair/RepairStatements.h"
#include "support/FirebirdTools.h"
#include "support/RecordingHost.h"
#include "support/TestFolder.h"
#include "support/VyrFixture.h"

namespace {

using Lines = std::vector<std::string>;

// The window's components, with their design settings, over a VYR database.
struct TDataStage {
  TTestFolder folder{"VYR10"};
  TInstallPaths paths = TInstallPaths::FromFolderText(folder.Path());
  TRecordingHost host;
  TDbConnection cnn;
  TDbTransaction Trans;
  TDbQuery udDMPB, scCreateTmp, Sql;
  TDbSQL udDMPB2;
  TRepairStatements statements{};

  explicit TDataStage(const TVyrDamage& damage = {}) {
    MakeFolders(folder / "DATA");
    CreateVyrDatabase(paths.Database, damage);
    cnn.ProviderOptions().Add("Firebird.Charset=UTF8");
    cnn.ProviderOptions().Add("Firebird.UseUnicode=True");
    cnn.OnError = [this](TDbConnection*, EDataAccessError& e, bool&) { host.AddLog(e.Message()); };
    Trans.SetDefaultConnection(&cnn);
    statements = SetUpRepairStatements(cnn, Trans, udDMPB, udDMPB2, scCreateTmp, Sql);
  }
  void Run() {
    TDataRepairStage(host, cnn, statements, std::string(PROGRAM_FOLDER) + "/")
        .Run(paths);
  }
  std::string Query(const std::string& sql) { return RunIsqlOn(paths.Database, sql); }
};

// The log without what the change report adds (its own test checks it).
Lines WithoutChangeReport(const Lines& log) {
  Lines kept;
  for (const auto& line : log)
    if (line.rfind("Đã cấp ID cho ", 0) != 0 && line.rfind("Đã đổi ", 0) != 0 && line.rfind("Có ", 0) != 0 &&
        line.rfind("  ", 0) != 0)
      kept.push_back(line);
  return kept;
}

TEST(RepairStatements, StatementTwoIsExactlyThreeIndentedLines) {
  EXPECT_EQ(FillDepartmentIdsUpdate(),
            (Lines{"  update DMPB", "  set ID = next value for G_ID", "  where ID is null;"}));
}

TEST(DataRepairStage, RepairsIdsAndDuplicatedKeys) {
  TDataStage stage;
  stage.Run();
  // What changed, read from the database row by row: exactly the rows the fixture duplicated.
  EXPECT_EQ(stage.host.Log, (Lines{"Đang kiểm tra trùng dữ liệu...",
                                   texts::DepartmentIdsGiven({"100001", "100002"}),
                                   texts::KeysRenamed(5),
                                   texts::KeyRenamed("DMDTTT", "NAM 2024", "A1", "A1X"),
                                   texts::KeyRenamed("DMDTTT", "NAM 2024", "A1", "A1XX"),
                                   texts::KeyRenamed("DM", "NAM 2024, STT_NH 01", "M1", "M1X"),
                                   texts::KeyRenamed("BLUONG", "NAM 2024, THANG 2", "NV1", "NV1X"),
                                   texts::KeyRenamed("BLUONG", "NAM 2024, THANG 4", "NV3", "NV3X"),
                                   texts::AllowancesFollowed(4),
                                   texts::AllowanceFollowed("4", "2", "NV1", "NV1X"),
                                   texts::AllowanceFollowed("5", "2", "NV1", "NV1X"),
                                   texts::AllowanceFollowed("8", "4", "NV3", "NV3X"),
                                   texts::AllowanceFollowed("9", "4", "NV3", "NV3X")}));
  // A second after each statement; the report's reads take their time out of it.
  ASSERT_EQ(stage.host.Pauses.size(), 4u);
  EXPECT_EQ(stage.host.Pauses[0], 1000u);
  for (const unsigned pause : stage.host.Pauses) {
    EXPECT_GT(pause, 0u);
    EXPECT_LE(pause, 1000u);
  }
  EXPECT_NE(stage.Query("select 'empty=' || count(*) from DMPB where ID is null;\n").find("empty=0"), std::string::npos);
  const std::string catalogue = stage.Query("select '[' || MA_HIEU || '/' || TEN_HIEU || ']' from DMDTTT order by MA_HIEU;\n");
  EXPECT_NE(catalogue.find("[A1/một]"), std::string::npos) << catalogue;
  EXPECT_NE(catalogue.find("[A1X/hai]"), std::string::npos) << catalogue;
  EXPECT_NE(catalogue.find("[A1XX/ba]"), std::string::npos) << catalogue;
  const std::string payroll = stage.Query(
      "select 'dup=' || count(*) from (select NAM, THANG, MSNV from BLUONG group by 1, 2, 3 having count(*) > 1);\n"
      "select 'rows=' || count(*) from BLUONG;\n"
      "select 'orphans=' || count(*) from PHUCAP p where not exists(select 1 from BLUONG b where b.ID = p.IDLUONG"
      " and b.MSNV = p.MSNV and b.THANG = p.THANG);\n"
      "select 'allowances=' || count(*) from PHUCAP;\n"
      "select 'renamed=' || MSNV from BLUONG where ID = 2;\n");
  EXPECT_NE(payroll.find("dup=0"), std::string::npos) << payroll;
  EXPECT_NE(payroll.find("rows=20"), std::string::npos) << payroll;
  EXPECT_NE(payroll.find("orphans=0"), std::string::npos) << payroll;
  EXPECT_NE(payroll.find("allowances=40"), std::string::npos) << payroll;
  EXPECT_NE(payroll.find("renamed=NV1X"), std::string::npos) << payroll;
}

TEST(DataRepairStage, ATakenKeyPushesTheSuffixFurther) {
  TDataStage stage;
  stage.Query("insert into DMDTTT (NAM, MA_HIEU, TEN_HIEU) values (2024, 'A1X', 'đã có');\ncommit;\n");
  stage.Run();
  const std::string catalogue = stage.Query("select '[' || MA_HIEU || '/' || TEN_HIEU || ']' from DMDTTT;\n");
  for (const char* row : {"[A1/một]", "[A1X/đã có]", "[A1XX/hai]", "[A1XXX/ba]", "[B2/khác]"})
    EXPECT_NE(catalogue.find(row), std::string::npos) << row << " in " << catalogue;
  const std::string catalogueDm = stage.Query("select '[' || STT_NH || MA_HIEU || ']' from DM;\n");
  for (const char* row : {"[01M1]", "[01M1X]", "[02M1]"})
    EXPECT_NE(catalogueDm.find(row), std::string::npos) << row << " in " << catalogueDm;
  EXPECT_NE(stage.Query("select 'left=' || count(*) from TMPBLUONG;\n").find("left=0"), std::string::npos);
}

TEST(DataRepairStage, TwoDuplicatedKeysOfOneFamilyAreSuffixedInKeyOrder) {
  TDataStage stage;
  stage.Query("insert into DMDTTT (NAM, MA_HIEU, TEN_HIEU) values (2024, 'A1X', 'x1');\n"
              "insert into DMDTTT (NAM, MA_HIEU, TEN_HIEU) values (2024, 'A1X', 'x2');\ncommit;\n");
  stage.Run();
  // A1 rows first: A1, A1X (its own rows were taken out), A1XX; then the A1X rows: A1XXX, A1XXXX.
  const std::string catalogue = stage.Query("select '[' || MA_HIEU || '/' || TEN_HIEU || ']' from DMDTTT;\n");
  for (const char* row : {"[A1/một]", "[A1X/hai]", "[A1XX/ba]", "[A1XXX/x1]", "[A1XXXX/x2]"})
    EXPECT_NE(catalogue.find(row), std::string::npos) << row << " in " << catalogue;
}

TEST(DataRepairStage, AnAllowanceThatCannotBeToldFromItsSharedPayrollIdKeepsItsKeyAndIsNamed) {
  TVyrDamage damage;
  damage.PayrollRows = 0;
  TDataStage stage(damage);
  stage.Query(
      "insert into BLUONG (NAM, ID, THANG, MSNV) values (2024, 8, 1, 'NV1');\n"
      "insert into BLUONG (NAM, ID, THANG, MSNV) values (2024, 7, 1, 'NV1');\n"
      "insert into BLUONG (NAM, ID, THANG, MSNV) values (2024, 7, 2, 'NV2');\n"
      "insert into PHUCAP (NAM, THANG, MSNV, MA_PC, ID, IDLUONG) values (2024, 1, 'NV1', 'PC', 70, 7);\n"
      "insert into PHUCAP (NAM, THANG, MSNV, MA_PC, ID, IDLUONG) values (2024, 5, 'KHAC', 'PC', 72, 7);\n"
      "commit;\n");
  stage.Run();
  EXPECT_EQ(WithoutChangeReport(stage.host.Log),
            (Lines{"Đang kiểm tra trùng dữ liệu...", texts::AllowanceKeepsItsKey("72", "7", "2024", "5", "KHAC")}));
  const std::string allowances = stage.Query("select '[' || ID || '=' || MSNV || ']' from PHUCAP;\n");
  EXPECT_NE(allowances.find("[70=NV1X]"), std::string::npos) << allowances;
  EXPECT_NE(allowances.find("[72=KHAC]"), std::string::npos) << allowances;
}

TEST(DataRepairStage, AMissingGeneratorFailsThreeStatementsEachLoggedTwice) {
  TVyrDamage damage;
  damage.WithGenerator = false;
  TDataStage stage(damage);
  stage.Run();
  ASSERT_EQ(stage.host.Log.size(), 7u);  // the stage line, then statements 1, 2 and 4 twice each
  EXPECT_EQ(stage.host.Log[1], stage.host.Log[2]);
  EXPECT_NE(stage.host.Log[1].find("G_ID"), std::string::npos) << stage.host.Log[1];
  EXPECT_EQ(stage.host.Log[3], stage.host.Log[4]);
  EXPECT_EQ(stage.host.Log[5], stage.host.Log[6]);
  EXPECT_EQ(stage.host.Pauses.size(), 1u);  // statement 3 still ran
  EXPECT_NE(stage.Query("select 'tables=' || count(*) from RDB$RELATIONS where RDB$RELATION_NAME starting 'TMP';\n")
                .find("tables=4"),
            std::string::npos);
  EXPECT_FALSE(stage.cnn.Connected());
}

TEST(DataRepairStage, ExistingTemporaryTablesAreLeftAsTheyAre) {
  TDataStage first;
  first.Run();
  first.Run();  // the second run finds the tables and creates nothing
  EXPECT_EQ(WithoutChangeReport(first.host.Log), (Lines{"Đang kiểm tra trùng dữ liệu...", "Đang kiểm tra trùng dữ liệu..."}));
}

TEST(DataRepairStage, AKeyThatOutgrowsItsColumnUndoesTheWholeStatement) {
  TDataStage stage;
  stage.Query("insert into DM (NAM, STT_NH, MA_HIEU) values (2024, '09', '12345678901234567890');\n"
              "insert into DM (NAM, STT_NH, MA_HIEU) values (2024, '09', '12345678901234567890');\ncommit;\n");
  stage.Run();
  const Lines log = WithoutChangeReport(stage.host.Log);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[1].find("truncation"), std::string::npos) << log[1];
  EXPECT_EQ(std::count(stage.host.Log.begin(), stage.host.Log.end(), texts::KeysRenamed(5)), 0);
  // undone as a whole: the catalogue and payroll duplicates are still there
  EXPECT_NE(stage.Query("select 'a1=' || count(*) from DMDTTT where MA_HIEU = 'A1';\n").find("a1=3"), std::string::npos);
}

TEST(DataRepairStage, ADatabaseThatCannotBeOpenedEndsTheStageBeforeAnyStatement) {
  TDataStage stage;
  WriteTextFile(stage.paths.Database, std::string(8192, 'x'));
  EXPECT_THROW(stage.Run(), EDbError);
  EXPECT_EQ(stage.host.Log.size(), 2u);  // the stage line and the event's text; the guard logs it again
  EXPECT_TRUE(stage.host.Pauses.empty());
}

TEST(DataRepairStage, AMissingClientLibraryIsLoggedOnceByTheGuard) {
  TDataStage stage;
  TTestFolder emptyProgramFolder;
  TDataRepairStage data(stage.host, stage.cnn, stage.statements, emptyProgramFolder.Path());
  const std::string original = ReadFileBytes(stage.paths.Database);
  TRepairProcedure(stage.host, &data, nullptr).Run(stage.folder.Path());
  ASSERT_EQ(stage.host.Log.size(), 3u);
  EXPECT_EQ(stage.host.Log[1], "Cannot load client library: " + emptyProgramFolder.Path() + "libfbclient.so.2");
  EXPECT_EQ(stage.host.Log[2], texts::DatabaseIsAsBefore(stage.paths.SafetyCopy));
  EXPECT_EQ(stage.host.Messages, Lines{texts::RepairFailedBox(texts::DatabaseIsAsBefore(stage.paths.SafetyCopy))});
  EXPECT_EQ(ReadFileBytes(stage.paths.Database), original);
}

}  // namespace

namespace {

TEST(DataRepairStage, ColumnsTheTemporaryTablesDoNotListKeepTheirValues) {
  TDataStage stage;
  stage.Query("alter table DMDTTT add GHI_CHU varchar(40);\nalter table DM add GHI_CHU varchar(40);\n"
              "alter table BLUONG add GHI_CHU varchar(40);\nalter table PHUCAP add GHI_CHU varchar(40);\ncommit;\n"
              "update DMDTTT set GHI_CHU = 'note ' || TEN_HIEU;\nupdate DM set GHI_CHU = 'note ' || TEN_HIEU;\n"
              "update BLUONG set GHI_CHU = 'note ' || ID;\nupdate PHUCAP set GHI_CHU = 'note ' || ID;\ncommit;\n");
  stage.Run();
  ASSERT_EQ(WithoutChangeReport(stage.host.Log), Lines{"Đang kiểm tra trùng dữ liệu..."});
  const std::string result = stage.Query(
      "select 'lost=' || ((select count(*) from DMDTTT where GHI_CHU is distinct from 'note ' || TEN_HIEU) +"
      " (select count(*) from DM where GHI_CHU is distinct from 'note ' || TEN_HIEU) +"
      " (select count(*) from BLUONG where GHI_CHU is distinct from 'note ' || ID) +"
      " (select count(*) from PHUCAP where GHI_CHU is distinct from 'note ' || ID)) from rdb$database;\n"
      "select '[' || MA_HIEU || '/' || GHI_CHU || ']' from DMDTTT;\n"
      "select 'renamed=' || MSNV || '/' || GHI_CHU from BLUONG where ID = 2;\n");
  EXPECT_NE(result.find("lost=0"), std::string::npos) << result;
  EXPECT_NE(result.find("[A1XX/note ba]"), std::string::npos) << result;
  EXPECT_NE(result.find("renamed=NV1X/note 2"), std::string::npos) << result;
}

TEST(DataRepairStage, AMonthOutsideTwoDigitsIsRepairedLikeAnyOther) {
  TDataStage stage;
  stage.Query("update BLUONG set THANG = 100 where ID in (1, 2);\nupdate BLUONG set THANG = -15 where ID in (3, 4);\n"
              "commit;\n");
  stage.Run();
  ASSERT_EQ(WithoutChangeReport(stage.host.Log), Lines{"Đang kiểm tra trùng dữ liệu..."});
  const std::string result = stage.Query(
      "select 'dup=' || count(*) from (select NAM, THANG, MSNV from BLUONG group by 1, 2, 3 having count(*) > 1);\n"
      "select 'month=' || THANG || '/' || MSNV from BLUONG where ID in (2, 4) order by ID;\n");
  EXPECT_NE(result.find("dup=0"), std::string::npos) << result;
  EXPECT_NE(result.find("month=100/NV1X"), std::string::npos) << result;
  EXPECT_NE(result.find("month=-15/NV3X"), std::string::npos) << result;
}

}  // namespace
