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

const std::vector<TKeyedTable>& TablesWithDuplicateKeys() {
  static const std::vector<TKeyedTable> tables = {
      {"DMDTTT", {"NAM", "MA_HIEU"}},
      {"DM", {"NAM", "STT_NH", "MA_HIEU"}},
      {"BLUONG", {"NAM", "THANG", "MSNV"}},
  };
  return tables;
}

// The rows are read as they are stored, whatever the indexes say.
std::string Unindexed(const std::string& column) { return "coalesce(" + column + ", " + column + ")"; }

std::string RowsWithDuplicatedKeys(const TKeyedTable& table, const std::string& columns) {
  std::string keys, notNull, join;
  for (const auto& column : table.Key) {
    keys += (keys.empty() ? "" : ", ") + column;
    notNull += (notNull.empty() ? "" : " and ") + column + " is not null";
    join += (join.empty() ? "" : " and ") + ("g." + column + " = " + Unindexed("b." + column));
  }
  return "select " + columns + " from " + table.Source + " b join (select " + keys + " from " + table.Source +
         " where " + notNull + " group by " + keys + " having count(*) > 1 plan (" + table.Source + " natural)) g on " +
         join;
}

namespace {

// One section of statement 4. The rows whose key occurs more than once are
// taken in the order of the grouping query (by key, with the database's own
// comparison) and, within one key, in storage order (the record number, which
// RDB$DB_KEY holds low byte first after the relation's four bytes). The first
// free key of X-suffixes is written into the row in place, so every other
// column stays as it is.
//
// Keys that can ever compare equal share a family: the other key columns and
// the key with its trailing X's and blanks stripped (upper-cased where the
// column ignores case). One grouping pass finds the duplicated keys, one
// hashed join the rows of their families, and a sorted pass over those rows
// carries each family's taken keys in a variable, compared with the column's
// own comparison: no test scans a table and no index is needed anywhere.
struct TSection {
  std::string Source;
  std::vector<std::string> Key;  // in grouping order; the last one takes the suffix
  std::string Taken;             // a variable of the key column's own type: a taken key
  std::string Candidate;         // ... and the key being tried
  std::string Family;            // the function that gives a key's family
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

std::string NotNull(const TSection& section, const std::string& prefix) {
  return Join(section.Key, prefix, " is not null and ") + " is not null";
}

// The family of a key. Most keys end in neither X nor a blank and are their
// own family; the others lose every trailing X and blank, in the section's
// own function (a loop: no key is too long for it). The result is cast back
// to the key column's own type: a function's result, and a case over it,
// lose the column's collation, and families that the column takes for one
// ("Ă1" and "A1" where it ignores accents) must join, group and partition
// as one.
std::string FamilyOf(const TSection& section, const std::string& key) {
  const std::string folded = "case when :CI = 1 then upper(" + key + ") else " + key + " end";
  return "cast(case when right(" + key + ", 1) in ('X', 'x', ' ') then " + section.Family + "(" + key + ", :CI) else " +
         folded + " end as type of column " + section.Source + "." + SuffixColumn(section) + ")";
}

TStatementLines FamilyFunction(const TSection& section) {
  const std::string type = "type of column " + section.Source + "." + SuffixColumn(section);
  return {
      "  declare function " + section.Family + "(KEY_TEXT " + type + ", CI integer) returns " + type + " as",
      "  begin",
      "    if (CI = 1) then KEY_TEXT = upper(KEY_TEXT);",
      "    while (char_length(KEY_TEXT) > 0 and right(KEY_TEXT, 1) in ('X', 'x', ' ')) do",
      "      KEY_TEXT = left(KEY_TEXT, char_length(KEY_TEXT) - 1);",
      "    return KEY_TEXT;",
      "  end",
  };
}

// The rows of every family that holds a duplicated key: its other keys first
// (DUP 0: they are taken), then the duplicated ones in the order they are
// served. Sorting compares more finely than grouping (case, in a collation
// that ignores it for equality), so rows are sorted by values that are the
// same for every row of one group (its least key, KEY_ORDER) and of one
// family (FAMILY_KEY, the least of each of its key columns).
TStatementLines FamilyRows(const TSection& section, const std::string& into) {
  const std::string key = Join(section.Key, "s.");
  const std::string keyColumns = Join(section.Key, "");
  const std::string parents = Join(ParentKey(section), "");
  const std::string suffix = SuffixColumn(section);
  const std::string id = section.Payroll ? "s.ID, " : "";
  std::string familyKey, joinParents;
  for (const auto& column : ParentKey(section)) {
    familyKey += "min(" + column + ") over (partition by " + parents + ", FAMILY) || ascii_char(1) || ";
    joinParents += "d." + column + " = " + Unindexed("s." + column) + " and ";
  }
  return {
      "    for select DBK, " + std::string(section.Payroll ? "ID, " : "") + keyColumns + ", DUP, FAMILY_KEY from (",
      "      select r.*,",
      "        case when count(*) over (partition by " + keyColumns + ") > 1 then 1 else 0 end as DUP,",
      "        min(" + suffix + ") over (partition by " + keyColumns + ") as KEY_ORDER,",
      "        cast(" + familyKey + "min(FAMILY) over (partition by " + parents +
          ", FAMILY) as varchar(400) character set octets) as FAMILY_KEY",
      "      from (select s.rdb$db_key as DBK, reverse(s.rdb$db_key) as RECORD_NO, " + id + key + ", d.FAMILY",
      "        from " + section.Source + " s",
      "        join (select distinct " + parents + ", " + FamilyOf(section, suffix) + " as FAMILY",
      "          from (select " + keyColumns + " from " + section.Source + " where " + NotNull(section, "") +
          " group by " + keyColumns + " having count(*) > 1 plan (" + section.Source + " natural)) g) d",
      "        on " + joinParents + "d.FAMILY = " + FamilyOf(section, "s." + suffix),
      "        where " + NotNull(section, "s.") + ") r) f",
      "      order by FAMILY_KEY, DUP, KEY_ORDER, RECORD_NO",
      "      into :DBK, " + into + ", :DUP, :FAMILY_KEY",
  };
}

// SOLAN becomes the first count of X's whose key no row of the family holds.
TStatementLines FindFreeKey(const TSection& section) {
  const std::string suffix = SuffixColumn(section);
  return {
      "        I = 1;",
      "        while (I = 1) do",
      "        begin",
      "          " + section.Candidate + " = :" + suffix + ";",
      "          I = 0;",
      "          P = 1;",
      "          while (I = 0 and P <= char_length(TAKEN)) do",
      "          begin",
      "            J = position(ascii_char(1), TAKEN, P);",
      "            " + section.Taken + " = substring(TAKEN from P for J - P);",
      "            if (" + section.Taken + " = " + section.Candidate + ") then I = 1;",
      "            P = J + 1;",
      "          end",
      "          if (I = 1) then",
      "          begin",
      "            " + suffix + " = :" + suffix + " || 'X';",
      "            SOLAN = SOLAN + 1;",
      "          end",
      "        end",
  };
}

// The rows of TMPBLUONG whose ID that many payroll rows have: a row's
// allowances are joined to it by ID alone only where the ID is its own.
std::string PayrollRowsOfIds(const std::string& howMany) {
  return "(select t.ID, t.NAM, t.THANG, t.MSNV, t.MA_PB from TMPBLUONG t join (select b.ID, count(*) as ROWS_OF_ID "
         "from BLUONG b join (select distinct ID from TMPBLUONG) i on i.ID = " + Unindexed("b.ID") +
         " group by b.ID) c on c.ID = t.ID where c.ROWS_OF_ID " + howMany + ") t";
}

TStatementLines SectionLines(const TSection& section) {
  const std::string suffix = SuffixColumn(section);
  const std::string into = std::string(section.Payroll ? ":ID, " : "") + Join(section.Key, ":");
  TStatementLines lines = {
      "  " + section.Taken + " = 'a';",
      "  " + section.Candidate + " = 'A';",
      "  CI = iif(" + section.Taken + " = " + section.Candidate + ", 1, 0);",
      "  LAST_FAMILY = null;",
  };
  if (section.Payroll) lines.push_back("  delete from TMPBLUONG;");
  Append(lines, FamilyRows(section, into));
  Append(lines, {
      "    do",
      "    begin",
      "      if (LAST_FAMILY is null or FAMILY_KEY <> LAST_FAMILY) then",
      "      begin",
      "        TAKEN = '';",
      "        LAST_FAMILY = FAMILY_KEY;",
      "        OWN_KEY = null;",
      "      end",
      "      if (DUP = 1) then",
      "      begin",
      "        -- a row with the same text as the row before: its shorter keys are all taken",
      "        if (cast(OWN_KEY as varchar(80) character set octets) = cast(:" + suffix +
          " as varchar(80) character set octets)) then",
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
  });
  Append(lines, FindFreeKey(section));
  Append(lines, {
      "        if (SOLAN > 0) then",
      "          update " + section.Source + " set " + suffix + " = :" + suffix + " where rdb$db_key = :DBK;",
  });
  // MA_PB, of the key's own domain, carries the key the row had
  if (section.Payroll)
    lines.push_back("        insert into TMPBLUONG (NAM, ID, THANG, MSNV, MA_PB) values (:NAM, :ID, :THANG, :MSNV, :OWN_KEY);");
  Append(lines, {
      "      end",
      "      TAKEN = TAKEN || :" + suffix + " || ascii_char(1);",
      "    end",
  });
  if (section.Payroll) {
    Append(lines, {
        "  -- every allowance of a payroll row that had a duplicated key takes the row's key; where payroll",
        "  -- rows share an ID, the allowance follows the one row whose year, month and former key it has",
        "  -- (none or several: it keeps its key)",
        "  if (exists(select 1 from TMPBLUONG)) then",
        "  begin",
        "    for select p.DBK, t.MSNV",
        "      from (select rdb$db_key as DBK, IDLUONG from PHUCAP) p",
        "      join " + PayrollRowsOfIds("= 1") + " on t.ID = " + Unindexed("p.IDLUONG"),
        "      into :DBK, :MSNV",
        "    do",
        "      update PHUCAP set MSNV = :MSNV where rdb$db_key = :DBK;",
        "    for select p.DBK, min(t.MSNV)",
        "      from (select rdb$db_key as DBK, IDLUONG, NAM, THANG, MSNV from PHUCAP) p",
        "      join " + PayrollRowsOfIds("> 1") + " on t.ID = " + Unindexed("p.IDLUONG") +
            " and t.NAM = p.NAM and t.THANG = p.THANG and t.MA_PB = p.MSNV",
        "      group by p.DBK",
        "      having count(*) = 1",
        "      into :DBK, :MSNV",
        "    do",
        "      update PHUCAP set MSNV = :MSNV where rdb$db_key = :DBK;",
        "  end",
        "  delete from TMPBLUONG;",
    });
  }
  return lines;
}

const std::vector<TSection>& Sections() {
  static const std::vector<TSection> sections = [] {
    const auto& tables = TablesWithDuplicateKeys();
    return std::vector<TSection>{
        {tables[0].Source, tables[0].Key, "TAKEN_A", "CANDIDATE_A", "FAMILY_A", false},
        {tables[1].Source, tables[1].Key, "TAKEN_B", "CANDIDATE_B", "FAMILY_B", false},
        {tables[2].Source, tables[2].Key, "TAKEN_C", "CANDIDATE_C", "FAMILY_C", true},
    };
  }();
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
      "  declare variable P integer;",
      "  declare variable DBK char(8) character set octets;",
      "  declare variable DUP integer;",
      "  declare variable FAMILY_KEY varchar(400) character set octets;",
      "  declare variable LAST_FAMILY varchar(400) character set octets;",
      "  declare variable OWN_KEY DM_MA_SO;",
      "  declare variable TAKEN blob sub_type text;",
      "  declare variable CI integer;",
      "  declare variable TAKEN_A type of column DMDTTT.MA_HIEU;",
      "  declare variable CANDIDATE_A type of column DMDTTT.MA_HIEU;",
      "  declare variable TAKEN_B type of column DM.MA_HIEU;",
      "  declare variable CANDIDATE_B type of column DM.MA_HIEU;",
      "  declare variable TAKEN_C type of column BLUONG.MSNV;",
      "  declare variable CANDIDATE_C type of column BLUONG.MSNV;",
  };
  for (const auto& section : Sections()) Append(lines, FamilyFunction(section));
  lines.push_back("begin");
  for (const auto& line : UpdateDepartmentIds) lines.push_back("  " + line);
  for (const auto& section : Sections()) {
    lines.push_back("  -- " + section.Source + ": duplicated keys get an X suffix");
    Append(lines, SectionLines(section));
  }
  lines.push_back("end");
  return lines;
}

// SHARED: the IDs of more than one payroll row, one of them with a duplicated
// key; ALLOWANCES: theirs. An allowance's matches are counted by a hashed
// join and a sum, never a lookup per row: a damaged table whose IDs are all
// one value stays linear.
std::string SomeSharedPayrollIdQuery() {
  return "select first 1 ID from BLUONG group by ID having count(*) > 1 plan (BLUONG natural)";
}

std::string AllowancesOfSharedPayrollIdsQuery() {
  return "with SHARED as (select d.ID from\n"
         "  (" + RowsWithDuplicatedKeys(TablesWithDuplicateKeys()[2], "distinct b.ID") + ") d\n"
         "  join (select ID from BLUONG group by ID having count(*) > 1 plan (BLUONG natural)) s on s.ID = d.ID),\n"
         "ALLOWANCES as (select p.rdb$db_key as DBK, p.ID, p.IDLUONG, p.NAM, p.THANG, p.MSNV from PHUCAP p\n"
         "  join SHARED on SHARED.ID = " + Unindexed("p.IDLUONG") + ")\n"
         "select min(ID), min(IDLUONG), min(NAM), min(THANG), min(MSNV) from (\n"
         "  select DBK, ID, IDLUONG, NAM, THANG, MSNV, 0 as MATCHED from ALLOWANCES\n"
         "  union all\n"
         "  select a.DBK, a.ID, a.IDLUONG, a.NAM, a.THANG, a.MSNV, 1 from ALLOWANCES a\n"
         "    join BLUONG b on " + Unindexed("b.ID") + " = a.IDLUONG and " + Unindexed("b.NAM") + " = a.NAM and " +
         Unindexed("b.THANG") + " = a.THANG and " + Unindexed("b.MSNV") + " = a.MSNV) u\n"
         "group by DBK having sum(MATCHED) <> 1\n"
         "order by 2, 1";
}
