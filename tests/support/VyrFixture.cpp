#include "support/VyrFixture.h"

#include <stdexcept>

#include "platform/Files.h"
#include "repair/TempTables.h"
#include "support/FirebirdTools.h"

namespace {

std::string Domains(const TVyrDamage& damage) {
  std::string keyDomain = "create domain DM_MA_SO varchar(20)";
  if (!damage.KeyCollation.empty())
    keyDomain += " character set " + damage.KeyCharacterSet + " collate " + damage.KeyCollation;
  return
    "create domain DM_BAC numeric(1,0);\n"
    "create domain DM_CHITIET varchar(1);\n"
    "create domain DM_DIEN_GIAI varchar(360);\n"
    "create domain DM_DVT varchar(9);\n"
    "create domain DM_HESO numeric(8,4);\n"
    "create domain DM_ID bigint;\n" +
    keyDomain + ";\n"
    "create domain DM_NAM numeric(4,0);\n"
    "create domain DM_NGAY date;\n"
    "create domain DM_NHOM_SO varchar(2);\n"
    "create domain DM_ONG_BA varchar(100);\n"
    "create domain DM_SL numeric(17,4);\n"
    "create domain DM_SO_CT varchar(10);\n"
    "create domain DM_SO_TK varchar(30);\n"
    "create domain DM_THANG numeric(2,0);\n"
    "create domain DM_TIEN numeric(18,0);\n"
    "create domain DM_TK varchar(8);\n"
    "create domain DM_TYLE numeric(3,0);\n"
    "create domain DM_CONGTHUC varchar(1000);\n"
    "create domain DM_INT integer;\n";
}

// The source tables have the columns of their temporary tables.
std::string SourceTables() {
  std::string ddl = "create table DMPB (ID DM_ID, MA_SO DM_MA_SO, TEN DM_DIEN_GIAI);\n";
  for (const auto& table : TempTables()) ddl += CreateTableStatement(table.Source, table) + ";\n";
  return ddl;
}

std::string Data(const TVyrDamage& damage) {
  std::string sql = "insert into DMPB values (1, 'KT', 'Kế toán');\n";
  for (int i = 0; i < damage.DepartmentsWithoutId; ++i)
    sql += "insert into DMPB values (null, 'P" + std::to_string(i) + "', 'Phòng " + std::to_string(i) + "');\n";
  if (damage.DuplicatedCatalogue) {
    sql += "insert into DMDTTT (NAM, MA_HIEU, TEN_HIEU) values (2024, 'A1', 'một');\n"
           "insert into DMDTTT (NAM, MA_HIEU, TEN_HIEU) values (2024, 'A1', 'hai');\n"
           "insert into DMDTTT (NAM, MA_HIEU, TEN_HIEU) values (2024, 'A1', 'ba');\n"
           "insert into DMDTTT (NAM, MA_HIEU, TEN_HIEU) values (2024, 'B2', 'khác');\n"
           "insert into DM (NAM, STT_NH, MA_HIEU, TEN_HIEU) values (2024, '01', 'M1', 'một');\n"
           "insert into DM (NAM, STT_NH, MA_HIEU, TEN_HIEU) values (2024, '01', 'M1', 'hai');\n"
           "insert into DM (NAM, STT_NH, MA_HIEU, TEN_HIEU) values (2024, '02', 'M1', 'khác');\n";
  }
  // Payroll rows: ID i, key (2024, i mod 12 + 1, NV<i>); the first duplicated
  // keys repeat the key of row i - 1.
  sql += "set term ^;\n"
         "execute block as declare variable i integer = 1; declare variable k integer;\n"
         "begin\n"
         "  while (i <= " + std::to_string(damage.PayrollRows) + ") do begin\n"
         "    k = i;\n"
         "    if (i <= 2 * " + std::to_string(damage.DuplicatedPayrollKeys) + " and mod(i, 2) = 0) then k = i - 1;\n"
         "    insert into BLUONG (NAM, ID, THANG, MSNV, HO_TEN, LUONG) values (2024, :i, mod(:k, 12) + 1, 'NV' || :k,\n"
         "      'Nguyễn Văn ' || :i, :i * 1000);\n"
         "    insert into PHUCAP (NAM, THANG, MSNV, MA_PC, TIEN, ID, IDLUONG)\n"
         "      values (2024, mod(:k, 12) + 1, 'NV' || :k, 'PC1', 100, 2 * :i, :i);\n"
         "    insert into PHUCAP (NAM, THANG, MSNV, MA_PC, TIEN, ID, IDLUONG)\n"
         "      values (2024, mod(:k, 12) + 1, 'NV' || :k, 'PC2', 200, 2 * :i + 1, :i);\n"
         "    i = i + 1;\n"
         "  end\n"
         "end^\n"
         "set term ;^\n";
  return sql;
}

}  // namespace

std::string CreateTableStatement(const std::string& name, const TTempTable& columns) {
  std::string ddl = "create table " + name + " (";
  bool first = true;
  for (const auto& column : columns.Columns) {
    ddl += std::string(first ? "" : ", ") + column.Name + " " + column.Domain;
    if (*column.Default != '\0') ddl += std::string(" default ") + column.Default;
    if (column.NotNull) ddl += " not null";
    first = false;
  }
  return ddl + ")";
}

void CreateVyrDatabase(const std::string& path, const TVyrDamage& damage) {
  std::string script = "create database " + SqlLiteral(path) +
                       " user 'SYSDBA' password 'quartzfin' page_size 8192 default character set UTF8;\n";
  script += Domains(damage);
  if (damage.WithGenerator) script += "create generator G_ID;\nset generator G_ID to 100000;\n";
  script += SourceTables();
  script += "commit;\n";
  script += Data(damage);
  script += "commit;\n";
  if (damage.KeyIndexes)
    script += "create unique index DMDTTT_KEY on DMDTTT (NAM, MA_HIEU);\n"
              "create unique index DM_KEY on DM (NAM, STT_NH, MA_HIEU);\n"
              "create unique index BLUONG_KEY on BLUONG (NAM, THANG, MSNV);\n"
              "alter table BLUONG add constraint PK_BLUONG primary key (ID);\n"
              "alter table PHUCAP add constraint FK_PHUCAP_BLUONG foreign key (IDLUONG) references BLUONG (ID);\n"
              "commit;\n";
  const std::string output = RunIsql(script);
  if (!platform::FileExists(path) || output.find("Statement failed") != std::string::npos)
    throw std::runtime_error("isql-fb could not make the VYR database: " + output);
}
