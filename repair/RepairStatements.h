// The texts of the four repair statements, as the lines of their components.
#pragma once

#include <string>
#include <vector>

using TStatementLines = std::vector<std::string>;

TStatementLines FillDepartmentIdsBlock();     // udDMPB
TStatementLines FillDepartmentIdsUpdate();    // udDMPB2
TStatementLines CreateTempTablesBlock();      // scCreateTmp
TStatementLines RemoveDuplicateKeysBlock();   // Sql
