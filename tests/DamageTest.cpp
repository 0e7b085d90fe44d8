// Physically damaged databases, damaged the way disks and crashes do it,
// repaired by the whole procedure with Debian's gfix and gbak, the engine and
// the row counter's child. Each ends as a Firebird expert's procedure would,
// or better, never worse, and never hangs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/Files.h"
#include "db/DbConnection.h"
#include "repair/RepairConnection.h"
#include "repair/RepairParts.h"
#include "repair/ServerCallWatch.h"
#include "repair/RepairProcedure.h"
#include "repair/RepairTexts.h"
#include "repair/RowCountChild.h"
#include "support/Damage.h"
#include "support/FirebirdTools.h"
#include "support/RecordingHost.h"
#include "support/TestFolder.h"
#include "support/VyrFixture.h"

namespace {

namespace fs = std::filesystem;

constexpr int PayrollRows = 300;

bool Logged(const std::vector<std::string>& log, const std::string& line) {
  return std::find(log.begin(), log.end(), line) != log.end();
}

bool LoggedStartingWith(const std::vector<std::string>& log, const std::string& head) {
  return std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(head, 0) == 0; });
}

std::string Joined(const std::vector<std::string>& log) {
  std::string text;
  for (const auto& line : log) text += line + "\n";
  return text;
}

std::string Query(const std::string& database, const std::string& query) {
  const std::string output = RunIsqlOn(database, "set list on;\n" + query + ";\n");
  const auto at = output.find("RESULT");
  if (at == std::string::npos) return output;
  const auto value = output.find_first_not_of(' ', at + 6);
  return output.substr(value, output.find('\n', value) - value);
}

// A sound VYR database with its keys, damaged by the test, in an install
// folder with Debian's tools; tight bounds so that a stopped tool costs a
// second or two here.
struct TDamagedInstall {
  TTestFolder folder{"VYR10"};
  TInstallPaths paths = TInstallPaths::FromFolderText(folder.Path());
  TRecordingHost host;

  TDamagedInstall() {
    MakeFolders(folder / "DATA");
    MakeFolders(folder / "fb/bin");
    fs::create_symlink(GfixPath, folder / "fb/bin/gfix");
    fs::create_symlink(GbakPath, folder / "fb/bin/gbak");
    TVyrDamage sound;
    sound.PayrollRows = PayrollRows;
    sound.DuplicatedPayrollKeys = 0;
    sound.DuplicatedCatalogue = false;
    sound.KeyIndexes = true;
    CreateVyrDatabase(paths.Database, sound);
  }

  TRepairOutcome Repair() {
    TRepairParts parts(host, std::string(PROGRAM_FOLDER) + "/");
    TToolLimits limits;
    limits.BaseSeconds = 20;
    limits.SecondsPerMegabyte = 0;
    limits.LastWordsGraceSeconds = 1;
    parts.SetToolLimits(limits);
    TRepairProcedure procedure(host, &parts.DataStage(), &parts.RebuildStage(), nullptr, &parts.RowCounter());
    procedure.ToolLimits = limits;
    return procedure.Run(folder.Path());
  }

  std::string Rows(const std::string& table) const {
    return Query(paths.Database, "select count(*) as RESULT from " + table);
  }
  std::string InactiveIndexes() const {
    return Query(paths.Database, "select cast(coalesce(list(trim(RDB$INDEX_NAME)), 'none') as varchar(500)) as RESULT from RDB$INDICES "
                                 "where coalesce(RDB$INDEX_INACTIVE, 0) <> 0 and coalesce(RDB$SYSTEM_FLAG, 0) = 0");
  }
};

// A lost write on BLUONG's unique index let a key in twice: validation
// reports the index, the rebuild comes first, the restore cannot activate
// the index, the duplicate is renamed (read from the table, not through the
// lying index) and the index activated. Every row is there.
TEST(DamagedDatabase, DuplicatesHiddenByALostIndexWriteAreRenamedAndTheIndexActivated) {
  TDamagedInstall install;
  LoseTheIndexWritesOf(install.paths.Database, "BLUONG",
                       "insert into BLUONG (ID, NAM, THANG, MSNV) values (999999, 2099, 12, 'LOST');");
  ASSERT_EQ(RunIsqlOn(install.paths.Database,
                      "insert into BLUONG (ID, NAM, THANG, MSNV) values (999998, 2099, 12, 'LOST');\ncommit;\n")
                .find("Statement failed"),
            std::string::npos);

  EXPECT_EQ(install.Repair(), TRepairOutcome::Done) << Joined(install.host.Log);
  const auto& log = install.host.Log;
  EXPECT_TRUE(Logged(log, texts::RebuildingBeforeDataRepair));
  EXPECT_TRUE(Logged(log, texts::RestoredWithIndexesOff));
  EXPECT_TRUE(Logged(log, texts::DuplicateKeysAgain));
  EXPECT_TRUE(Logged(log, texts::IndexActivated("BLUONG_KEY", "BLUONG")));
  EXPECT_EQ(install.host.Messages, std::vector<std::string>{texts::RepairDone});
  EXPECT_EQ(install.Rows("BLUONG"), std::to_string(PayrollRows + 2));
  EXPECT_EQ(install.Rows("PHUCAP"), std::to_string(2 * PayrollRows));
  EXPECT_EQ(install.InactiveIndexes(), "none");
}

// A garbled index root page: validation ends on an I/O error, and for some
// garbles (seed 7 here) gfix runs away with the file (terabytes, sparse here,
// a full disk on Windows). A runaway pass is stopped and the original goes
// back; either way the rebuild keeps every row, and no statement ever
// writes into the damaged file.
TEST(DamagedDatabase, AGarbledIndexRootIsRebuiltFromTheOriginalAndARunawayGfixUndone) {
  for (const unsigned seed : {1u, 7u}) {
    TDamagedInstall install;
    GarblePage(install.paths.Database, PagesOf(install.paths.Database, "BLUONG", TPageKind::IndexRoot).front(), seed);

    EXPECT_EQ(install.Repair(), TRepairOutcome::Done) << Joined(install.host.Log);
    const auto& log = install.host.Log;
    if (seed == 7) {
      EXPECT_TRUE(LoggedStartingWith(log, "Đã dừng gfix -")) << Joined(log);
      EXPECT_TRUE(LoggedStartingWith(log, "Bỏ kết quả của gfix -"));
    }
    EXPECT_TRUE(LoggedStartingWith(log, "gfix -v dừng giữa chừng vì lỗi"));
    const auto rebuilt = std::find(log.begin(), log.end(), texts::RebuildingBeforeDataRepair);
    ASSERT_NE(rebuilt, log.end()) << seed;
    EXPECT_EQ(std::find(log.begin(), rebuilt, "Đang kiểm tra trùng dữ liệu..."), rebuilt)
        << "the statements run only after the rebuild";
    EXPECT_LT(platform::FileSize(install.paths.Database).value(), 64u << 20);
    EXPECT_EQ(install.Rows("BLUONG"), std::to_string(PayrollRows)) << seed;
    EXPECT_EQ(install.Rows("PHUCAP"), std::to_string(2 * PayrollRows)) << seed;
    EXPECT_EQ(install.InactiveIndexes(), "none") << seed;
  }
}

// gfix's mend removes a damaged payroll row; its allowances are left
// without parent and the foreign key cannot be activated. The database is
// rebuilt and works, the key is off and named with its orphan values, the
// run ends with its own box, and the original stays in the safety copy.
TEST(DamagedDatabase, AForeignKeyThatCannotBeActivatedEndsWithItsOwnBoxAndTheKeysNamed) {
  TDamagedInstall install;
  DamageARecordOf(install.paths.Database, "BLUONG");
  const std::string original = ReadFileBytes(install.paths.Database);

  EXPECT_EQ(install.Repair(), TRepairOutcome::DoneIndexesOff) << Joined(install.host.Log);
  const auto& log = install.host.Log;
  EXPECT_TRUE(Logged(log, texts::IndexLeftOff("FK_PHUCAP_BLUONG", "PHUCAP", {"IDLUONG = 1 (2 dòng)"})));
  ASSERT_EQ(install.host.Messages.size(), 1u);
  EXPECT_EQ(install.host.Messages[0].rfind(texts::RepairDoneIndexesOffBox({"FK_PHUCAP_BLUONG (PHUCAP)"},
                                                                          install.paths.SafetyCopy),
                                           0),
            0u);
  EXPECT_EQ(install.InactiveIndexes(), "FK_PHUCAP_BLUONG");
  EXPECT_EQ(install.Rows("BLUONG"), std::to_string(PayrollRows - 1));
  EXPECT_EQ(install.Rows("PHUCAP"), std::to_string(2 * PayrollRows));
  EXPECT_EQ(ReadFileBytes(install.paths.SafetyCopy), original);
  EXPECT_FALSE(platform::FileExists(install.paths.RepairMarker));
}

// A garbled pointer page: gbak reports it and then hangs in its detach, as
// the server does for the row count. Neither hangs the repair: gbak is ended
// after its last words, the table is named, the backup without it is kept
// for support, and the database, never deleted, is the original.
TEST(DamagedDatabase, AGarbledPointerPageNamesTheLostTableAndKeepsTheOriginal) {
  TDamagedInstall install;
  GarblePage(install.paths.Database, PagesOf(install.paths.Database, "BLUONG", TPageKind::Pointer).front(), 1);
  const std::string original = ReadFileBytes(install.paths.Database);

  EXPECT_EQ(install.Repair(), TRepairOutcome::FailedAsBefore) << Joined(install.host.Log);
  const auto& log = install.host.Log;
  EXPECT_TRUE(Logged(log, texts::ToolEndedAfterItsError("gbak -b")));
  EXPECT_TRUE(Logged(log, texts::BackupRetriedWithoutTable("BLUONG")));
  EXPECT_TRUE(Logged(log, texts::TableLeftOutOfBackup("BLUONG")));
  EXPECT_EQ(ReadFileBytes(install.paths.Database), original);
  EXPECT_GT(platform::FileSize(install.paths.Backup).value_or(0), 0u);
}

// The child counts what it can and names what it cannot, and ends at once
// where the server would hang in the detach.
TEST(DamagedDatabase, TheRowCounterNamesAnUnreadableTableWithoutHanging) {
  TDamagedInstall install;
  GarblePage(install.paths.Database, PagesOf(install.paths.Database, "BLUONG", TPageKind::Pointer).front(), 1);
  TChildRowCounter counter(install.host, std::string(PROGRAM_FOLDER) + "/");
  counter.Limits.BaseSeconds = 20;
  const TRowCounts counts = counter.Count(install.paths.Database);
  EXPECT_EQ(counts.at("BLUONG"), UnreadableRows);
  EXPECT_EQ(counts.at("PHUCAP"), 2 * PayrollRows);
  EXPECT_EQ(counts.at("DMPB"), 3);
}

// A server call that never ends (here a query over billions of rows) is
// cancelled from the watch's thread once past its bound: the call returns
// with an error and the watch says why.
TEST(DamagedDatabase, AServerCallPastItsBoundIsCancelledAndSaysWhy) {
  TTestFolder folder;
  CreateTestDatabase(folder / "T.FDB");
  TDbConnection connection;
  PointConnectionAt(connection, std::string(PROGRAM_FOLDER) + "/", folder / "T.FDB");
  connection.LoginPrompt = false;
  connection.Open();
  TRecordingHost host;
  {
    TServerCallWatch watch(host, connection, "bước thử", 1);
    EXPECT_ANY_THROW(connection.SelectRows(
        "select count(*) from RDB$FIELDS a, RDB$FIELDS b, RDB$FIELDS c, RDB$FIELDS d, RDB$FIELDS e"));
    EXPECT_EQ(watch.Stopped(), texts::ServerCallTookTooLong("bước thử", 1));
    EXPECT_FALSE(watch.StoppedByOperator());
  }
  connection.Close();
}

TEST(RowCountLines, CarryAnyNameAndErrorAsAsciiAndBack) {
  const TRowCounts counts{{"BẢNG LƯƠNG", 7}, {"T", UnreadableRows}, {"with space", 0}};
  const auto lines = RowCountLines(counts);
  for (const auto& line : lines)
    EXPECT_EQ(std::count_if(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) > 126; }), 0);
  EXPECT_EQ(RowCountsOfLines(lines), counts);
  try {
    RowCountsOfLines({RowCountErrorLine("lỗi: không mở được")});
    FAIL();
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "lỗi: không mở được");
  }
  EXPECT_THROW(RowCountsOfLines({"rows x 41"}), Exception);
  EXPECT_THROW(RowCountsOfLines({"rows 1 4"}), Exception);
  EXPECT_THROW(RowCountsOfLines({"rows 1 41"}), Exception) << "no announcement";
  EXPECT_THROW(RowCountsOfLines({"tables 2", "rows 1 41"}), Exception) << "a table short";
  EXPECT_THROW(RowCountsOfLines({"tables 1", "rows 1 41", "rows 1 41"}), Exception) << "a table twice";
  EXPECT_THROW(RowCountsOfLines({}), Exception) << "nothing at all";
}

}  // namespace
