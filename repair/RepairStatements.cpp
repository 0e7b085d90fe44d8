#include "repair/RepairStatements.h"

#include "repair/TempTables.h"

#include <stdexcept>

namespace {

const TStatementLines UpdateDepartmentIds = {"update DMPB", "set ID = next value for G_ID", "where ID is null;"};

const TTempTable& Table(const std::string& name) {
  for (const auto& table : TempTables())
    if (table.Name == name) return table;
  throw std::logic_error("no temporary table " + name);
}

// "A, B, C", each name behind prefix.
std::string ColumnList(const TTempTable& table, const std::string& prefix = "") {
  std::string list;
  for (const auto& column : table.Columns) list += (list.empty() ? "" : ", ") + prefix + column.Name;
  return list;
}

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

// Indexes that turn the lookups of statement 4 into index probes.
const std::vector<std::pair<std::string, std::string>> TempIndexes = {
    {"TMPDMDTTT", "NAM, MA_HIEU"},
    {"TMPDM", "NAM, STT_NH, MA_HIEU"},
    {"TMPBLUONG", "NAM, THANG, MSNV"},
    {"TMPBLUONG", "ID"},
    {"TMPPHUCAP", "IDLUONG"},
    {"TMPPHUCAP", "NAM, MSNV, MA_PC"},
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

// One section of statement 4: the source table's duplicated keys get an "X"
// suffix until they are free. The keys already taken (the rows of the source
// table that could collide, and every row written back) are kept in a
// temporary table with an index, so each test is an index probe rather than
// a pass over a source table that may have no usable index.
struct TSection {
  std::string Source;
  std::string Temp;
  std::vector<std::string> Key;  // in grouping order; the last one takes the suffix
  std::vector<std::string> Fetch;  // the cursor's columns, into the variables of the same names
  std::string TakenTable;        // where the keys already taken are kept
  std::string TakenColumns;      // its columns for one key
  std::string TakenValues;       // ... and their values from the variables
  std::string TakenMatch;        // the condition that finds the current key there
  std::string TakenFromSource;   // the same values from a source row s
};

std::string GroupBy(const TSection& section) {
  std::string list;
  for (std::size_t i = 1; i <= section.Key.size(); ++i) list += (i > 1 ? ", " : "") + std::to_string(i);
  return list;
}

// The names, each behind prefix, separated by separator.
std::string Join(const std::vector<std::string>& names, const std::string& prefix, const std::string& separator = ", ") {
  std::string list;
  for (const auto& name : names) list += (list.empty() ? "" : separator) + prefix + name;
  return list;
}

std::string KeyList(const TSection& section, const std::string& prefix = "") { return Join(section.Key, prefix); }

std::string KeyMatch(const TSection& section, const std::string& left, const std::string& right) {
  std::string condition;
  for (const auto& column : section.Key)
    condition += (condition.empty() ? "" : " and ") + left + column + " = " + right + column;
  return condition;
}

std::string StrippedKeyMatch(const TSection& section, const std::string& left, const std::string& right) {
  std::string condition;
  for (std::size_t i = 0; i + 1 < section.Key.size(); ++i)
    condition += left + section.Key[i] + " = " + right + section.Key[i] + " and ";
  return condition + left + "BASE = trim(trailing 'X' from " + right + section.Key.back() + ")";
}

TStatementLines SectionLines(const TSection& section) {
  const TTempTable& temp = Table(section.Temp);
  const std::string columns = ColumnList(temp);
  const std::string duplicated = "select " + KeyList(section) + " from " + section.Source + " group by " +
                                 GroupBy(section) + " having count(*) > 1";
  std::string baseKeys;
  for (std::size_t i = 0; i + 1 < section.Key.size(); ++i) baseKeys += section.Key[i] + ", ";
  const std::string families = "select distinct " + baseKeys + "trim(trailing 'X' from " + section.Key.back() +
                               ") BASE from " + section.Source + " group by " + KeyList(section) +
                               " having count(*) > 1";
  const bool payroll = section.Source == "BLUONG";
  TStatementLines lines = {
      "  if (exists(select " + KeyList(section) + ", count(*) from " + section.Source + " group by " + GroupBy(section) +
          " having count(*) > 1)) then",
      "  begin",
      "    delete from " + section.Temp + ";",
  };
  if (payroll) lines.push_back("    delete from TMPPHUCAP;");
  Append(lines, {
      "    delete from " + section.TakenTable + ";",
      "    insert into " + section.Temp + " (" + columns + ")",
      "      select " + ColumnList(temp, "s.") + " from " + section.Source + " s",
      "      join (" + duplicated + ") d on " + KeyMatch(section, "d.", "s."),
      "      order by " + KeyList(section, "s.") + ", s.rdb$db_key;",
  });
  if (payroll) {
    const std::string allowances = ColumnList(Table("TMPPHUCAP"));
    Append(lines, {
        "    insert into TMPPHUCAP (" + allowances + ")",
        "      select " + ColumnList(Table("TMPPHUCAP"), "p.") + " from PHUCAP p",
        "      where exists(select 1 from TMPBLUONG t where t.ID = p.IDLUONG);",
        "    delete from PHUCAP p where exists(select 1 from TMPBLUONG t where t.ID = p.IDLUONG);",
    });
  }
  Append(lines, {
      "    insert into " + section.TakenTable + " (" + section.TakenColumns + ")",
      "      select " + section.TakenFromSource + " from " + section.Source + " s",
      "      join (" + families + ") f on " + StrippedKeyMatch(section, "f.", "s."),
      "      where not exists(select 1 from " + section.Temp + " t where " + KeyMatch(section, "t.", "s.") + ");",
      "    delete from " + section.Source + " s",
      "      where exists(select 1 from " + section.Temp + " t where " + KeyMatch(section, "t.", "s.") + ");",
      "    for select " + Join(section.Fetch, "") + ", rdb$db_key as ROW_KEY from " + section.Temp,
  });
  const std::string suffix = section.Key.back();
  Append(lines, {
      "      into " + Join(section.Fetch, ":") + ", :DBK",
      "      as cursor TCUR",
      "    do",
      "    begin",
      "      I = 1;",
      "      while (I = 1) do",
      "        if (not exists(select 1 from " + section.TakenTable + " where " + section.TakenMatch + ")) then",
      "          I = 0;",
      "        else",
      "          " + suffix + " = :" + suffix + " || 'X';",
      "      update " + section.Temp + " set " + suffix + " = :" + suffix + " where current of TCUR;",
  });
  if (payroll) lines.push_back("      update TMPPHUCAP set MSNV = :MSNV where IDLUONG = :ID;");
  Append(lines, {
      "      insert into " + section.TakenTable + " (" + section.TakenColumns + ") values (" + section.TakenValues + ");",
      "      insert into " + section.Source + " (" + columns + ")",
      "        select " + columns + " from " + section.Temp + " where rdb$db_key = :DBK;",
      "    end",
  });
  if (payroll) {
    const std::string allowances = ColumnList(Table("TMPPHUCAP"));
    lines.push_back("    insert into PHUCAP (" + allowances + ") select " + allowances + " from TMPPHUCAP;");
  }
  lines.push_back("    delete from " + section.TakenTable + ";");
  lines.push_back("  end");
  return lines;
}

const std::vector<TSection>& Sections() {
  static const std::vector<TSection> sections = {
      {"DMDTTT", "TMPDMDTTT", {"NAM", "MA_HIEU"}, {"NAM", "MA_HIEU"}, "TMPPHUCAP",
       "NAM, THANG, MSNV, MA_PC, ID, IDLUONG", ":NAM, 0, :MA_HIEU, '', 0, 0",
       "NAM = :NAM and MSNV = :MA_HIEU and MA_PC = ''", "s.NAM, 0, s.MA_HIEU, '', 0, 0"},
      {"DM", "TMPDM", {"NAM", "STT_NH", "MA_HIEU"}, {"NAM", "STT_NH", "MA_HIEU"}, "TMPPHUCAP",
       "NAM, THANG, MSNV, MA_PC, ID, IDLUONG", ":NAM, 0, :MA_HIEU, :STT_NH, 0, 0",
       "NAM = :NAM and MSNV = :MA_HIEU and MA_PC = :STT_NH", "s.NAM, 0, s.MA_HIEU, s.STT_NH, 0, 0"},
      {"BLUONG", "TMPBLUONG", {"NAM", "THANG", "MSNV"}, {"ID", "NAM", "THANG", "MSNV"}, "TMPDM", "NAM, STT_NH, MA_HIEU",
       ":NAM, cast(:THANG as varchar(2)), :MSNV",
       "NAM = :NAM and STT_NH = cast(:THANG as varchar(2)) and MA_HIEU = :MSNV",
       "s.NAM, cast(s.THANG as varchar(2)), s.MSNV"},
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
