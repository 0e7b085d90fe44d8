#include "repair/IndexRecovery.h"

#include <exception>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "repair/RepairConnection.h"
#include "repair/RepairTexts.h"
#include "repair/ToolCommands.h"

namespace {

constexpr std::size_t KeysShown = 20;

const char* const ShutdownModeQuery = "select MON$SHUTDOWN_MODE from MON$DATABASE";

const char* const InactiveIndexesQuery =
    "select trim(RDB$INDEX_NAME), trim(RDB$RELATION_NAME), coalesce(RDB$UNIQUE_FLAG, 0) from RDB$INDICES "
    "where RDB$INDEX_INACTIVE = 1 and coalesce(RDB$SYSTEM_FLAG, 0) = 0 order by RDB$RELATION_NAME, RDB$INDEX_NAME";

std::string Quoted(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string Literal(const std::string& text) {
  std::string literal = "'";
  for (char c : text) literal += c == '\'' ? std::string("''") : std::string(1, c);
  return literal + "'";
}

// The tables whose duplicated keys the repair's statements rename.
bool KeyOfRepairedTable(const TIndexRecovery::TIndex& index) {
  return index.Unique && (index.Table == "DMDTTT" || index.Table == "DM" || index.Table == "BLUONG");
}

void Execute(TDbConnection& connection, const std::string& statementText) {
  TDbSQL statement;
  statement.Connection = &connection;
  statement.SQL = {statementText};
  connection.StartTransaction();
  try {
    statement.Execute();
    connection.Commit();
  } catch (...) {
    if (connection.InTransaction()) connection.Rollback();
    throw;
  }
}

// The server's key line ("Problematic key value is (...)"), or its whole text.
std::string KeyInError(const std::string& error) {
  const std::string head = "Problematic key value is ";
  const auto at = error.find(head);
  if (at == std::string::npos) return error;
  const auto end = error.find_first_of("\r\n", at);
  return error.substr(at + head.size(), end == std::string::npos ? std::string::npos : end - at - head.size());
}

}  // namespace

void TIndexRecovery::OpenConnection(TDbConnection& connection, const TInstallPaths& paths) const {
  PointConnectionAt(connection, FProgramFolder, paths.Database);
  connection.LoginPrompt = false;
  connection.Open();
}

bool TIndexRecovery::Recover(const TInstallPaths& paths, const TToolLimits& limits) {
  FLeftOff.clear();
  const std::vector<TIndex> inactive = InactiveIndexesOfShutDownDatabase(paths);
  if (inactive.empty()) return false;
  FHost.AddLog(texts::RestoredWithIndexesOff);
  if (!BringOnline(paths, limits)) return false;

  auto failed = Activate(paths, inactive);
  std::vector<TIndex> again;
  for (const auto& [index, error] : failed)
    if (KeyOfRepairedTable(index)) again.push_back(index);
  if (!again.empty() && FDuplicateKeys != nullptr) {
    FHost.AddLog(texts::DuplicateKeysAgain);
    FDuplicateKeys->Run(paths);
    auto stillFailed = Activate(paths, again);
    std::vector<std::pair<TIndex, std::string>> remaining;
    for (auto& entry : failed)
      if (!KeyOfRepairedTable(entry.first)) remaining.push_back(std::move(entry));
    for (auto& entry : stillFailed) remaining.push_back(std::move(entry));
    failed = std::move(remaining);
  }
  for (const auto& [index, error] : failed) {
    FHost.AddLog(texts::IndexLeftOff(index.Name, index.Table, OffendingKeys(paths, index, error)));
    FLeftOff.push_back(index.Name + " (" + index.Table + ")");
  }
  return true;
}

// Nothing but an offline database with inactive indexes is this recovery's
// business; one that cannot even be attached is not either.
std::vector<TIndexRecovery::TIndex> TIndexRecovery::InactiveIndexesOfShutDownDatabase(const TInstallPaths& paths) const {
  std::vector<TIndex> indexes;
  try {
    TDbConnection connection;
    OpenConnection(connection, paths);
    const auto mode = connection.SelectRows(ShutdownModeQuery);
    if (!mode.empty() && mode[0][0] && *mode[0][0] != "0")
      for (const auto& row : connection.SelectRows(InactiveIndexesQuery))
        if (row[0] && row[1]) indexes.push_back({*row[0], *row[1], row[2] && *row[2] == "1"});
    connection.Close();
  } catch (const std::exception& error) {
    FHost.AddLog(error.what());
    return {};
  }
  return indexes;
}

bool TIndexRecovery::BringOnline(const TInstallPaths& paths, const TToolLimits& limits) {
  FHost.ProcessEvents();
  RunLoggedTool(FHost, GfixOnlineCommand(paths), BoundFor("gfix -online", paths, limits));
  TDbConnection connection;
  OpenConnection(connection, paths);
  const auto mode = connection.SelectRows(ShutdownModeQuery);
  connection.Close();
  return !mode.empty() && mode[0][0] && *mode[0][0] == "0";
}

// The indexes that could not be activated, each with the server's error.
std::vector<std::pair<TIndexRecovery::TIndex, std::string>> TIndexRecovery::Activate(const TInstallPaths& paths,
                                                                                   const std::vector<TIndex>& indexes) {
  std::vector<std::pair<TIndex, std::string>> failed;
  TDbConnection connection;
  OpenConnection(connection, paths);
  for (const auto& index : indexes) {
    try {
      Execute(connection, "alter index " + Quoted(index.Name) + " active");
      FHost.AddLog(texts::IndexActivated(index.Name, index.Table));
    } catch (const std::exception& error) {
      FHost.AddLog(texts::IndexNotActivated(index.Name, index.Table, error.what()));
      failed.emplace_back(index, error.what());
    }
  }
  connection.Close();
  return failed;
}

// Every duplicated key of a unique index, read from the table itself; the
// server's key for any other index.
std::vector<std::string> TIndexRecovery::OffendingKeys(const TInstallPaths& paths, const TIndex& index,
                                                       const std::string& error) const {
  if (!index.Unique) return {KeyInError(error)};
  try {
    TDbConnection connection;
    OpenConnection(connection, paths);
    std::vector<std::string> columns;
    for (const auto& row : connection.SelectRows("select trim(RDB$FIELD_NAME) from RDB$INDEX_SEGMENTS where "
                                                 "RDB$INDEX_NAME = " + Literal(index.Name) + " order by RDB$FIELD_POSITION"))
      if (row[0]) columns.push_back(*row[0]);
    std::string list;
    for (const auto& column : columns) list += (list.empty() ? "" : ", ") + Quoted(column);
    std::vector<std::string> keys;
    if (!columns.empty())
      for (const auto& row : connection.SelectRows("select first " + std::to_string(KeysShown) + " " + list +
                                                   ", count(*) from " + Quoted(index.Table) + " group by " + list +
                                                   " having count(*) > 1")) {
        std::string key;
        for (std::size_t i = 0; i < columns.size(); ++i)
          key += (i == 0 ? "" : ", ") + columns[i] + " = " + (row[i] ? *row[i] : std::string("null"));
        keys.push_back(key + " (" + (row[columns.size()] ? *row[columns.size()] : std::string("?")) + " dòng)");
      }
    connection.Close();
    if (!keys.empty()) return keys;
  } catch (const std::exception& failure) {
    FHost.AddLog(failure.what());
  }
  return {KeyInError(error)};
}
