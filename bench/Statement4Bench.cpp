// Statement 4 on 50,000, 100,000 and 200,000 payroll rows with 1% duplicated
// keys, beside a plain copy of the same table: once with the temporary tables
// as statement 3 makes them, once with temporary tables made without any index
// (as an earlier tool leaves them). Then on 25,000 to 100,000 rows with 10%
// duplicated keys and an index on BLUONG (NAM, THANG, MSNV), as a payroll
// table keyed by month has: the index must not make it quadratic. Last, 25,000
// to 200,000 rows with the customer's indexes (also PHUCAP (IDLUONG)) at 10 %
// and 1 % duplicated keys, a month imported twice, and families of 12.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "db/DbTransaction.h"
#include "platform/Locale.h"
#include "repair/RepairStatements.h"
#include "repair/TempTables.h"
#include "support/TestFolder.h"
#include "support/VyrFixture.h"

namespace {

double SecondsOf(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct TBenchDatabase;
double Measure(TBenchDatabase& db, int rows, double previous);

struct TBenchDatabase {
  TTestFolder folder{"bench"};
  TDbConnection cnn;
  TDbTransaction Trans;

  TBenchDatabase(int rows, bool tablesWithoutIndexes, int duplicatedPercent = 1, bool payrollKeyIndex = false) {
    TVyrDamage damage;
    damage.PayrollRows = rows;
    damage.DuplicatedPayrollKeys = rows * duplicatedPercent / 100;
    CreateVyrDatabase(folder / "VYR.FDB", damage);
    cnn.SetProviderName("Firebird");
    cnn.ProviderOptions().SetValue("ClientLibrary", std::string(PROGRAM_FOLDER) + "/libfbclient.so.2");
    cnn.ProviderOptions().SetValue("UseUnicode", "True");
    cnn.ProviderOptions().SetValue("Charset", "UTF8");
    cnn.SetDatabase(folder / "VYR.FDB");
    cnn.SetUsername("SYSDBA");
    cnn.Open();
    Trans.SetDefaultConnection(&cnn);
    for (const auto& table : TempTables())
      if (table.Source == "BLUONG") Run({CreateTableStatement("BLUONG_COPY", table)});
    if (tablesWithoutIndexes) {
      for (const auto& table : TempTables()) {
        std::string ddl = CreateTableStatement(table.Name, table);
        ddl.replace(0, std::string("create table").size(), "create global temporary table");
        Run({ddl + " on commit delete rows"});
      }
    }
    Run(CreateTempTablesBlock());
    if (payrollKeyIndex) Run({"create index BLUONG_KEY on BLUONG (NAM, THANG, MSNV)"});
  }
  void Run(const std::vector<std::string>& lines) {
    TDbQuery query;
    query.Connection = &cnn;
    query.Transaction = &Trans;
    query.SQL = lines;
    query.Execute();
  }
};

void Series(bool tablesWithoutIndexes, bool payrollKeyIndex = false) {
  if (payrollKeyIndex)
    std::printf("10%% duplicated keys, an index on BLUONG (NAM, THANG, MSNV)\n");
  else
    std::printf("temporary tables %s\n", tablesWithoutIndexes ? "without indexes" : "made by statement 3");
  double previous = 0;
  const std::vector<int> sizes = payrollKeyIndex ? std::vector<int>{25000, 50000, 100000} : std::vector<int>{50000, 100000, 200000};
  for (int rows : sizes) {
    TBenchDatabase db(rows, tablesWithoutIndexes, payrollKeyIndex ? 10 : 1, payrollKeyIndex);
    previous = Measure(db, rows, previous);
  }
}

// The customer's indexes (BLUONG's key and PHUCAP (IDLUONG)) under three
// shapes of duplication: 10 % of the keys twice; every row of one month
// twice (a month imported again); families of 12 rows sharing one key.
void CustomerIndexSeries(const char* title, const std::vector<std::string>& shape, int duplicatedPercent) {
  std::printf("%s, indexes on BLUONG (NAM, THANG, MSNV) and PHUCAP (IDLUONG)\n", title);
  double previous = 0;
  for (int rows : {25000, 50000, 100000, 200000}) {
    TBenchDatabase db(rows, false, duplicatedPercent, true);
    db.Run({"create index PHUCAP_IDLUONG on PHUCAP (IDLUONG)"});
    for (const auto& statement : shape) db.Run({statement});
    previous = Measure(db, rows, previous);
  }
}

}  // namespace

namespace {

// Statement 4 beside a plain copy of BLUONG on the same database; its time.
double Measure(TBenchDatabase& db, int rows, double previous) {
  const double copy = SecondsOf([&] { db.Run({"insert into BLUONG_COPY select * from BLUONG"}); });
  const double statement = SecondsOf([&] { db.Run(RemoveDuplicateKeysBlock()); });
  std::printf("%6d rows: statement 4 %.2f s, copy %.2f s, ratio to copy %.2f", rows, statement, copy, statement / copy);
  if (previous > 0) std::printf(", growth from half the rows %.2fx", statement / previous);
  std::printf("\n");
  std::fflush(stdout);
  return statement;
}

}  // namespace

int main(int argc, char* argv[]) {
  platform::SelectUtf8Locale();
  const bool indexOnly = argc > 1 && std::string(argv[1]) == "--payroll-index";
  if (!indexOnly) {
    Series(false);
    Series(true);
  }
  Series(false, true);
  CustomerIndexSeries("10% duplicated keys", {}, 10);
  CustomerIndexSeries("1% duplicated keys", {}, 1);
  CustomerIndexSeries("every row of month 1 twice",
                      {"insert into BLUONG (NAM, ID, THANG, MSNV, HO_TEN, LUONG) select NAM, ID + 100000000, THANG, "
                       "MSNV, HO_TEN, LUONG from BLUONG where THANG = 1"},
                      0);
  CustomerIndexSeries("families of 12 rows sharing a key (10% of the rows)",
                      {"update BLUONG set THANG = 1, MSNV = 'F' || (ID / 12) where ID <= (select count(*) from BLUONG) / 10"}, 0);
  return 0;
}
