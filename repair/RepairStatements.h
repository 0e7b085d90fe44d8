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
