#include "repair/RepairStatements.h"

#include "repair/TempTables.h"

#include <stdexcept>

namespace {

const TStatementLines UpdateDepartmentIds = {"update DMPB", "set ID = next value for G_ID", "where ID is null;"};

std::string ColumnDefinitions(const TTempTable& table) {
  std::string definitions;
  for (const auto& column : table.Columns) {
    if (!definitions.empty()) definitions += ", ";
    definitions += std::string(column.Name) + " " + column.Domain;
    if (*column.Default != '\0') definitions += std::string(" DEFAULT ") + column.Default;
    if (column.NotNull) definitions += " NOT NULL";
  }
  return definitions;
}

// Statement 4 finds the allowances of a renamed payroll row through
// TMPBLUONG.ID; without the index the join is hashed, with it probed.
const std::vector<std::pair<std::string, std::string>> TempIndexes = {
    {"TMPBLUONG", "ID"},
};

void Append(TStatementLines& lines, const TStatementLines& more) { lines.insert(lines.end(), more.begin(), more.end()); }

}  // namespace

TStatementLines FillDepartmentIdsBlock() {
  TStatementLines lines = {"execute block as", "begin"};
  for (const auto& line : UpdateDepartmentIds) lines.push_back("  " + line);
  lines.push_back("end");
  return lines;
}

TStatementLines FillDepartmentIdsUpdate() {
  TStatementLines lines;
  for (const auto& line : UpdateDepartmentIds) lines.push_back("  " + line);
  return lines;
}

TStatementLines CreateTempTablesBlock() {
  TStatementLines lines = {"execute block as", "begin"};
  int indexNumber = 0;
  for (const auto& table : TempTables()) {
    lines.push_back("  if (not exists(select 1");
    lines.push_back("    from RDB$RELATIONS");
    lines.push_back("    where RDB$RELATION_NAME = '" + table.Name + "')) then");
    lines.push_back("  begin");
    lines.push_back("    execute statement 'CREATE GLOBAL TEMPORARY TABLE " + table.Name + " (" + ColumnDefinitions(table) +
                    ") ON COMMIT DELETE ROWS;';");
    for (const auto& [name, columns] : TempIndexes)
      if (name == table.Name)
        lines.push_back("    execute statement 'CREATE INDEX " + name + "_K" + std::to_string(++indexNumber) + " ON " +
                        name + " (" + columns + ")';");
    lines.push_back("  end");
  }
  lines.push_back("end");
  return lines;
}

namespace {

// One section of statement 4. The rows whose key occurs more than once are
// taken in the order of the grouping query (by key, with the database's own
// comparison) and, within one key, in storage order (the record number, which
// RDB$DB_KEY holds low byte first after the relation's four bytes). The first
// free key of X-suffixes is written into the row in place, so every other
// column stays as it is.
//
// Keys that can ever compare equal share a family: the key with its trailing
// X's and blanks stripped (upper-cased where the column's collation ignores
// case), and the other key columns. A sorted pass over the families that hold
// a duplicated key carries the family's taken keys in a variable, so a test
// never scans a table and no index is needed anywhere.
struct TSection {
  std::string Source;
  std::vector<std::string> Key;  // in grouping order; the last one takes the suffix
  std::string CaseProbe;         // the two variables that tell whether the key column ignores case
  bool Payroll;                  // section c: the allowances follow their payroll row
};

// The names, each behind prefix, separated by separator.
std::string Join(const std::vector<std::string>& names, const std::string& prefix, const std::string& separator = ", ") {
  std::string list;
  for (const auto& name : names) list += (list.empty() ? "" : separator) + prefix + name;
  return list;
}

std::vector<std::string> ParentKey(const TSection& section) {
  return std::vector<std::string>(section.Key.begin(), section.Key.end() - 1);
}

const std::string& SuffixColumn(const TSection& section) { return section.Key.back(); }

// The family of a key: trailing X's and blanks stripped, layer by layer (a
// key of 20 characters has at most ten layers).
std::string FamilyOf(const std::string& key) {
  std::string expression = "case when :CI = 1 then upper(" + key + ") else " + key + " end";
  for (int layer = 0; layer < 10; ++layer) expression = "trim(trailing 'X' from trim(trailing from " + expression + "))";
  return expression;
}

// How a key is kept in the list of taken keys: equal keys, equal texts.
std::string Slot(const std::string& key) {
  return "cast(ascii_char(1) || case when :CI = 1 then upper(trim(trailing from " + key + ")) else trim(trailing from " +
         key + ") end || ascii_char(1) as varchar(200) character set octets)";
}

std::string NotNull(const TSection& section, const std::string& prefix) {
  return Join(section.Key, prefix, " is not null and ") + " is not null";
}

// The rows of every family that holds a duplicated key: its other keys first
// (DUP 0: they are taken), then the duplicated ones in the order they are
// served. Sorting compares more finely than grouping (case, in a collation
// that ignores it for equality), so rows are sorted by values that are the
// same for every row of one group: its least key (KEY_ORDER) and, for the
// family, the least of each other key column.
TStatementLines FamilyRows(const TSection& section) {
  const std::string key = Join(section.Key, "s.");
  const std::string parents = Join(ParentKey(section), "");
  const std::string suffix = SuffixColumn(section);
  const std::string fetch = std::string(section.Payroll ? "ID, " : "") + Join(section.Key, "");
  std::string familyReps, familyKey;
  for (const auto& column : ParentKey(section)) {
    familyReps += "min(" + column + ") over (partition by " + parents + ", FAMILY) as REP_" + column + ", ";
    familyKey += "REP_" + column + " || ascii_char(1) || ";
  }
  return {
      "    for select DBK, " + fetch + ", DUP,",
      "        cast(" + familyKey + "FAMILY as varchar(400) character set octets) as FAMILY_KEY",
      "      from (select r.*, " + familyReps + "max(DUP) over (partition by " + parents + ", FAMILY) as FAMILY_DUP",
      "        from (select s.rdb$db_key as DBK, reverse(s.rdb$db_key) as RECORD_NO, " +
          std::string(section.Payroll ? "s.ID, " : "") + key + ",",
      "            " + FamilyOf("s." + suffix) + " as FAMILY,",
      "            case when count(*) over (partition by " + key + ") > 1 then 1 else 0 end as DUP,",
      "            min(s." + suffix + ") over (partition by " + key + ") as KEY_ORDER",
      "          from " + section.Source + " s where " + NotNull(section, "s.") + ") r) f",
      "      where FAMILY_DUP = 1",
      "      order by FAMILY_KEY, DUP, KEY_ORDER, RECORD_NO",
      "      into :DBK, :FAMILY_KEY",
  };
}

TStatementLines SectionLines(const TSection& section) {
  const std::string suffix = SuffixColumn(section);
  const std::string fetchInto = std::string(section.Payroll ? ":ID, " : "") + Join(section.Key, ":");
  TStatementLines lines = {
      "  if (exists(select " + Join(section.Key, "") + ", count(*) from " + section.Source + " group by " +
          (section.Key.size() == 2 ? "1, 2" : "1, 2, 3") + " having count(*) > 1)) then",
      "  begin",
      "    " + section.CaseProbe,
      "    LAST_FAMILY = null;",
  };
  if (section.Payroll) lines.push_back("    delete from TMPBLUONG;");
  TStatementLines rows = FamilyRows(section);
  rows.back() = "      into :DBK, " + fetchInto + ", :DUP, :FAMILY_KEY";
  lines.insert(lines.end(), rows.begin(), rows.end());
  const TStatementLines loop = {
      "    do",
      "    begin",
      "      if (LAST_FAMILY is null or FAMILY_KEY <> LAST_FAMILY) then",
      "      begin",
      "        TAKEN = '';",
      "        LAST_FAMILY = FAMILY_KEY;",
      "        OWN_KEY = null;",
      "      end",
      "      if (DUP = 0) then",
      "        TAKEN = TAKEN || " + Slot(":" + suffix) + ";",
      "      else",
      "      begin",
      "        -- the same text as the row before: its shorter keys are all taken",
      "        if (OWN_KEY = :" + suffix + " and char_length(OWN_KEY) = char_length(:" + suffix + ")) then",
      "          SOLAN = SOLAN + 1;",
      "        else",
      "          SOLAN = 0;",
      "        OWN_KEY = :" + suffix + ";",
      "        J = 0;",
      "        while (J < SOLAN) do",
      "        begin",
      "          " + suffix + " = :" + suffix + " || 'X';",
      "          J = J + 1;",
      "        end",
      "        I = 1;",
      "        while (I = 1) do",
      "          if (position(" + Slot(":" + suffix) + " in TAKEN) = 0) then",
      "            I = 0;",
      "          else",
      "          begin",
      "            " + suffix + " = :" + suffix + " || 'X';",
      "            SOLAN = SOLAN + 1;",
      "          end",
      "        TAKEN = TAKEN || " + Slot(":" + suffix) + ";",
      "        if (SOLAN > 0) then",
      "          update " + section.Source + " set " + suffix + " = :" + suffix + " where rdb$db_key = :DBK;",
  };
  lines.insert(lines.end(), loop.begin(), loop.end());
  if (section.Payroll) lines.push_back("        insert into TMPBLUONG (NAM, ID, THANG, MSNV) values (:NAM, :ID, :THANG, :MSNV);");
  lines.push_back("      end");
  lines.push_back("    end");
  if (section.Payroll) {
    const TStatementLines allowances = {
        "    -- every allowance of a payroll row that had a duplicated key takes the row's key",
        "    for select p.rdb$db_key, t.MSNV from PHUCAP p join TMPBLUONG t on t.ID = p.IDLUONG",
        "      into :DBK, :MSNV",
        "    do",
        "      update PHUCAP set MSNV = :MSNV where rdb$db_key = :DBK;",
        "    delete from TMPBLUONG;",
    };
    lines.insert(lines.end(), allowances.begin(), allowances.end());
  }
  const TStatementLines check = {
      "    if (exists(select 1 from " + section.Source + " where " + NotNull(section, "") + " group by " +
          Join(section.Key, "") + " having count(*) > 1)) then",
      "      I = cast('" + section.Source + ": duplicated keys remain' as integer);",
      "  end",
  };
  lines.insert(lines.end(), check.begin(), check.end());
  return lines;
}

const std::vector<TSection>& Sections() {
  static const std::vector<TSection> sections = {
      {"DMDTTT", {"NAM", "MA_HIEU"}, "CASE_A = 'a'; CASE_B = 'A'; CI = iif(CASE_A = CASE_B, 1, 0);", false},
      {"DM", {"NAM", "STT_NH", "MA_HIEU"}, "CASE_C = 'a'; CASE_D = 'A'; CI = iif(CASE_C = CASE_D, 1, 0);", false},
      {"BLUONG", {"NAM", "THANG", "MSNV"}, "CASE_E = 'a'; CASE_F = 'A'; CI = iif(CASE_E = CASE_F, 1, 0);", true},
  };
  return sections;
}

}  // namespace

TStatementLines RemoveDuplicateKeysBlock() {
  TStatementLines lines = {
      "execute block as",
      "  declare variable NAM DM_NAM;",
      "  declare variable MA_HIEU DM_MA_SO;",
      "  declare variable STT_NH DM_NHOM_SO;",
      "  declare variable SQL DM_CONGTHUC;",
      "  declare variable I DM_INT;",
      "  declare variable J DM_INT;",
      "  declare variable SOLAN DM_ID;",
      "  declare variable MSNV DM_MA_SO;",
      "  declare variable THANG DM_THANG;",
      "  declare variable ID DM_ID;",
      "  declare variable DBK char(8) character set octets;",
      "  declare variable DUP integer;",
      "  declare variable FAMILY_KEY varchar(400) character set octets;",
      "  declare variable LAST_FAMILY varchar(400) character set octets;",
      "  declare variable OWN_KEY DM_MA_SO;",
      "  declare variable TAKEN varchar(32000) character set octets;",
      "  declare variable CI integer;",
      "  declare variable CASE_A type of column DMDTTT.MA_HIEU;",
      "  declare variable CASE_B type of column DMDTTT.MA_HIEU;",
      "  declare variable CASE_C type of column DM.MA_HIEU;",
      "  declare variable CASE_D type of column DM.MA_HIEU;",
      "  declare variable CASE_E type of column BLUONG.MSNV;",
      "  declare variable CASE_F type of column BLUONG.MSNV;",
      "begin",
  };
  for (const auto& line : UpdateDepartmentIds) lines.push_back("  " + line);
  for (const auto& section : Sections()) {
    lines.push_back("  -- " + section.Source + ": duplicated keys get an X suffix");
    Append(lines, SectionLines(section));
  }
  lines.push_back("end");
  return lines;
}
