#include "repair/RowCounts.h"

#include "db/DbConnection.h"
#include "repair/RepairConnection.h"

namespace {

// Persistent tables only: no views, no external or virtual tables, no
// temporary ones.
const char* const UserTablesQuery =
    "select trim(RDB$RELATION_NAME) from RDB$RELATIONS where coalesce(RDB$SYSTEM_FLAG, 0) = 0 "
    "and RDB$VIEW_BLR is null and coalesce(RDB$RELATION_TYPE, 0) = 0 order by 1";

std::string Quoted(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string CountQuery(const std::vector<std::string>& tables) {
  std::string query;
  for (std::size_t i = 0; i < tables.size(); ++i)
    query += std::string(i == 0 ? "" : " union all ") + "select cast(" + std::to_string(i) +
             " as integer), count(*) from " + Quoted(tables[i]);
  return query;
}

}  // namespace

TRowCounts TClientRowCounter::Count(const std::string& database) {
  TDbConnection connection;
  PointConnectionAt(connection, FProgramFolder, database);
  connection.LoginPrompt = false;
  connection.Open();
  std::vector<std::string> tables;
  for (const auto& row : connection.SelectRows(UserTablesQuery))
    if (row[0]) tables.push_back(*row[0]);
  TRowCounts counts;
  if (!tables.empty())
    for (const auto& row : connection.SelectRows(CountQuery(tables)))
      counts[tables.at(std::stoul(*row[0]))] = std::stoll(*row[1]);
  connection.Close();
  return counts;
}

std::vector<TRowLoss> RowsLost(const TRowCounts& before, const TRowCounts& after) {
  std::vector<TRowLoss> lost;
  for (const auto& [table, rows] : before) {
    const auto found = after.find(table);
    const std::int64_t now = found == after.end() ? 0 : found->second;
    if (now < rows) lost.push_back({table, rows, now});
  }
  return lost;
}
