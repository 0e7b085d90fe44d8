#include <gtest/gtest.h>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "db/DbTransaction.h"
#include "repair/DataRepairStage.h"
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

  explicit TDataStage(const TVyrDamage& damage = {}) {
    MakeFolders(folder / "DATA");
    CreateVyrDatabase(paths.Database, damage);
    cnn.ProviderOptions().Add("Firebird.Charset=UTF8");
    cnn.ProviderOptions().Add("Firebird.UseUnicode=True");
    cnn.OnError = [this](TDbConnection*, EDataAccessError& e, bool&) { host.AddLog(e.Message()); };
    Trans.SetDefaultConnection(&cnn);
    for (TDbSQL* statement : {static_cast<TDbSQL*>(&udDMPB), &udDMPB2, static_cast<TDbSQL*>(&scCreateTmp),
                              static_cast<TDbSQL*>(&Sql)})
      statement->Connection = &cnn;
    udDMPB.Transaction = &Trans;
    Sql.Transaction = &Trans;
    udDMPB.SQL = FillDepartmentIdsBlock();
    udDMPB2.SQL = FillDepartmentIdsUpdate();
    scCreateTmp.SQL = CreateTempTablesBlock();
    Sql.SQL = RemoveDuplicateKeysBlock();
  }
  void Run() {
    TDataRepairStage(host, cnn, {{&udDMPB, &udDMPB2, &scCreateTmp, &Sql}}, std::string(PROGRAM_FOLDER) + "/")
        .Run(paths);
  }
  std::string Query(const std::string& sql) { return RunIsqlOn(paths.Database, sql); }
};

TEST(RepairStatements, StatementTwoIsExactlyThreeIndentedLines) {
  EXPECT_EQ(FillDepartmentIdsUpdate(),
            (Lines{"  update DMPB", "  set ID = next value for G_ID", "  where ID is null;"}));
}

TEST(DataRepairStage, RepairsIdsAndDuplicatedKeys) {
  TDataStage stage;
  stage.Run();
  EXPECT_EQ(stage.host.Log, Lines{"Đang kiểm tra trùng dữ liệu..."});
  EXPECT_EQ(stage.host.Pauses, (std::vector<unsigned>{1000, 1000, 1000, 1000}));
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

}  // namespace
