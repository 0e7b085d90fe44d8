// The texts of the four repair statements, as the lines of their components.
#pragma once

#include <string>
#include <vector>

using TStatementLines = std::vector<std::string>;

TStatementLines FillDepartmentIdsBlock();     // udDMPB
TStatementLines FillDepartmentIdsUpdate();    // udDMPB2
TStatementLines CreateTempTablesBlock();      // scCreateTmp
TStatementLines RemoveDuplicateKeysBlock();   // Sql

// The allowances statement 4 leaves with their key because payroll rows with a
// duplicated key share their ID and none or several of those rows has the
// allowance's year, month and key: ID, IDLUONG, NAM, THANG, MSNV. Read before
// statement 4 runs.
std::string AllowancesOfSharedPayrollIdsQuery();
// One row when some payroll ID is held by more than one BLUONG row, else
// none: one pass that spares the query above where IDs are all distinct, as
// they are in a sound database.
std::string SomeSharedPayrollIdQuery();

// The tables whose duplicated keys statement 4 renames, and their keys in
// grouping order (the last one takes the X suffix).
struct TKeyedTable {
  std::string Source;
  std::vector<std::string> Key;
};
const std::vector<TKeyedTable>& TablesWithDuplicateKeys();

// An expression that compares a column without letting any index of its
// table drive the join (the rows are read as stored; a damaged index lies).
std::string Unindexed(const std::string& column);

// A query of the given columns (of alias b) over the rows of the table whose
// key occurs more than once, read as stored.
std::string RowsWithDuplicatedKeys(const TKeyedTable& table, const std::string& columns);
