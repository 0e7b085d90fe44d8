#include "repair/RowCounts.h"

#include <exception>

#include "db/DbConnection.h"
#include "repair/RepairConnection.h"
#include "repair/SqlText.h"

namespace {

// Persistent tables only: no views, no external or virtual tables, no
// temporary ones.
const char* const UserTablesQuery =
    "select trim(RDB$RELATION_NAME) from RDB$RELATIONS where coalesce(RDB$SYSTEM_FLAG, 0) = 0 "
    "and RDB$VIEW_BLR is null and coalesce(RDB$RELATION_TYPE, 0) = 0 order by 1";

}  // namespace

TRowCounts TClientRowCounter::Count(const std::string& database) {
  TDbConnection connection;
  const TRowCounts counts = CountRowsThrough(connection, FProgramFolder, database);
  connection.Close();
  return counts;
}

TRowCounts CountRowsThrough(TDbConnection& connection, const std::string& programFolder, const std::string& database) {
  PointConnectionAt(connection, programFolder, database);
  connection.LoginPrompt = false;
  connection.Open();
  std::vector<std::string> tables;
  for (const auto& row : connection.SelectRows(UserTablesQuery))
    if (row[0]) tables.push_back(*row[0]);
  TRowCounts counts;
  for (const auto& table : tables) {
    try {
      const auto rows = connection.SelectRows("select count(*) from " + QuotedIdentifier(table));
      counts[table] = rows.empty() || !rows[0][0] ? UnreadableRows : std::stoll(*rows[0][0]);
    } catch (const std::exception&) {
      counts[table] = UnreadableRows;
    }
  }
  return counts;
}

std::vector<std::string> UnreadableTables(const TRowCounts& counts) {
  std::vector<std::string> tables;
  for (const auto& [table, rows] : counts)
    if (rows == UnreadableRows) tables.push_back(table);
  return tables;
}

std::vector<TRowLoss> RowsLost(const TRowCounts& before, const TRowCounts& after) {
  std::vector<TRowLoss> lost;
  for (const auto& [table, rows] : before) {
    const auto found = after.find(table);
    if (rows == UnreadableRows) continue;
    const std::int64_t now = found == after.end() || found->second == UnreadableRows ? 0 : found->second;
    if (now < rows) lost.push_back({table, rows, now});
  }
  return lost;
}
