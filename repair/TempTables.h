// The four global temporary tables of the repair and their columns: the one
// place their column lists are written down. The CREATE statements and the
// copies between a temporary table and its source table are built from it.
#pragma once

#include <string>
#include <vector>

struct TTempColumn {
  const char* Name;
  const char* Domain;
  const char* Default;  // empty: none
  bool NotNull;
};

struct TTempTable {
  std::string Name;    // TMPDMDTTT, TMPDM, TMPBLUONG, TMPPHUCAP
  std::string Source;  // DMDTTT, DM, BLUONG, PHUCAP
  std::vector<TTempColumn> Columns;
};

const std::vector<TTempTable>& TempTables();
