#include "repair/IndexRecovery.h"

#include <algorithm>
#include <exception>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "repair/RepairConnection.h"
#include "repair/SqlText.h"
#include "repair/RepairTexts.h"
#include "repair/ToolCommands.h"

namespace {

constexpr std::size_t KeysShown = 20;

const char* const ShutdownModeQuery = "select MON$SHUTDOWN_MODE from MON$DATABASE";

// A foreign key gbak could not activate is marked 3, not 1.
const char* const InactiveIndexesQuery =
    "select trim(RDB$INDEX_NAME), trim(RDB$RELATION_NAME), coalesce(RDB$UNIQUE_FLAG, 0) from RDB$INDICES "
    "where coalesce(RDB$INDEX_INACTIVE, 0) <> 0 and coalesce(RDB$SYSTEM_FLAG, 0) = 0 order by RDB$RELATION_NAME, RDB$INDEX_NAME";

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
  const std::vector<TIndex> inactive = InactiveIndexes(paths, true);
  if (inactive.empty()) return false;
  FHost.AddLog(texts::RestoredWithIndexesOff);
  if (!BringOnline(paths, limits)) return false;
  ActivateAndReport(paths, inactive);
  return true;
}

void TIndexRecovery::FinishInactiveIndexes(const TInstallPaths& paths) {
  FLeftOff.clear();
  const std::vector<TIndex> inactive = InactiveIndexes(paths, false);
  if (inactive.empty()) return;
  FHost.AddLog(texts::RestoredWithIndexesInactive);
  ActivateAndReport(paths, inactive);
}

bool TIndexRecovery::RestoreLeftOnlyIndexesOff(const std::vector<std::string>& restoreLines) {
  bool leftOffline = false;
  bool inIndexFailure = false;
  for (const auto& line : restoreLines) {
    if (line.find("Database is not online due to failure to activate one or more indices") != std::string::npos) {
      leftOffline = true;
      continue;
    }
    if (line.find("cannot commit index") != std::string::npos) {
      inIndexFailure = true;
      continue;
    }
    const bool error = line.find("ERROR:") != std::string::npos;
    if (error && !inIndexFailure) return false;
    if (!error) inIndexFailure = false;
  }
  return leftOffline;
}

// Each index tried; the keys of the repair's own tables renamed where their
// unique index failed, and those tried again; what is still off named.
void TIndexRecovery::ActivateAndReport(const TInstallPaths& paths, const std::vector<TIndex>& inactive) {
  auto failed = Activate(paths, inactive);
  const auto retried = std::stable_partition(failed.begin(), failed.end(),
                                             [](const TFailedIndex& entry) { return !KeyOfRepairedTable(entry.first); });
  if (retried != failed.end() && FDuplicateKeys != nullptr) {
    FHost.AddLog(texts::DuplicateKeysAgain);
    FDuplicateKeys->Run(paths);
    std::vector<TIndex> again;
    for (auto entry = retried; entry != failed.end(); ++entry) again.push_back(entry->first);
    failed.erase(retried, failed.end());
    for (auto& entry : Activate(paths, again)) failed.push_back(std::move(entry));
  }
  ReportLeftOff(paths, failed);
}

// Each index still off, logged with its offending keys, all read through
// one connection; the server's key alone where the tables cannot say.
void TIndexRecovery::ReportLeftOff(const TInstallPaths& paths, const std::vector<TFailedIndex>& failed) {
  if (failed.empty()) return;
  TDbConnection connection;
  try {
    OpenConnection(connection, paths);
  } catch (const std::exception& error) {
    FHost.AddLog(error.what());
  }
  for (const auto& [index, error] : failed) {
    const auto keys = connection.Connected() ? OffendingKeys(connection, index, error)
                                             : std::vector<std::string>{KeyInError(error)};
    FHost.AddLog(texts::IndexLeftOff(index.Name, index.Table, keys));
    FLeftOff.push_back(index.Name + " (" + index.Table + ")");
  }
  if (connection.Connected()) connection.Close();
}

// The user indexes that are off; with shutDownOnly, only those of a
// database left offline. A database that cannot even be attached is no
// recovery's business.
std::vector<TIndexRecovery::TIndex> TIndexRecovery::InactiveIndexes(const TInstallPaths& paths, bool shutDownOnly) const {
  std::vector<TIndex> indexes;
  try {
    TDbConnection connection;
    OpenConnection(connection, paths);
    const auto mode = shutDownOnly ? connection.SelectRows(ShutdownModeQuery) : std::vector<TFbRow>{};
    if (!shutDownOnly || (!mode.empty() && mode[0][0] && *mode[0][0] != "0"))
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
  RunLoggedTool(FHost, ToolRunFor(paths, GfixOnlineCommand), BoundFor("gfix -online", paths, limits));
  TDbConnection connection;
  OpenConnection(connection, paths);
  const auto mode = connection.SelectRows(ShutdownModeQuery);
  connection.Close();
  return !mode.empty() && mode[0][0] && *mode[0][0] == "0";
}

// The indexes that could not be activated, each with the server's error.
std::vector<TIndexRecovery::TFailedIndex> TIndexRecovery::Activate(const TInstallPaths& paths,
                                                                   const std::vector<TIndex>& indexes) {
  std::vector<TFailedIndex> failed;
  TDbConnection connection;
  OpenConnection(connection, paths);
  for (const auto& index : indexes) {
    try {
      Execute(connection, "alter index " + QuotedIdentifier(index.Name) + " active");
      FHost.AddLog(texts::IndexActivated(index.Name, index.Table));
    } catch (const std::exception& error) {
      FHost.AddLog(texts::IndexNotActivated(index.Name, index.Table, error.what()));
      failed.emplace_back(index, error.what());
    }
  }
  connection.Close();
  return failed;
}

namespace {

std::vector<std::string> SegmentsOf(TDbConnection& connection, const std::string& index) {
  std::vector<std::string> columns;
  for (const auto& row : connection.SelectRows("select trim(RDB$FIELD_NAME) from RDB$INDEX_SEGMENTS where "
                                               "RDB$INDEX_NAME = " + QuotedLiteral(index) + " order by RDB$FIELD_POSITION"))
    if (row[0]) columns.push_back(*row[0]);
  return columns;
}

std::string ColumnList(const std::vector<std::string>& columns, const std::string& prefix) {
  std::string list;
  for (const auto& column : columns) list += (list.empty() ? "" : ", ") + prefix + QuotedIdentifier(column);
  return list;
}

// "NAM = 2024, MSNV = NV1 (2 dòng)" for each row of columns then a count.
std::vector<std::string> KeysOfRows(const std::vector<TFbRow>& rows, const std::vector<std::string>& columns) {
  std::vector<std::string> keys;
  for (const auto& row : rows) {
    std::string key;
    for (std::size_t i = 0; i < columns.size(); ++i)
      key += (i == 0 ? "" : ", ") + columns[i] + " = " + (row[i] ? *row[i] : std::string("null"));
    keys.push_back(key + " (" + (row[columns.size()] ? *row[columns.size()] : std::string("?")) + " dòng)");
  }
  return keys;
}

// The keys a unique index finds more than once.
std::vector<std::string> DuplicatedKeys(TDbConnection& connection, const TIndexRecovery::TIndex& index) {
  const auto columns = SegmentsOf(connection, index.Name);
  if (columns.empty()) return {};
  const std::string list = ColumnList(columns, "");
  return KeysOfRows(connection.SelectRows("select first " + std::to_string(KeysShown) + " " + list + ", count(*) from " +
                                          QuotedIdentifier(index.Table) + " group by " + list + " having count(*) > 1"),
                    columns);
}

// The keys of a foreign key whose parent row is not there.
std::vector<std::string> OrphanKeys(TDbConnection& connection, const TIndexRecovery::TIndex& index) {
  const auto parent = connection.SelectRows(
      "select trim(p.RDB$INDEX_NAME), trim(p.RDB$RELATION_NAME) from RDB$INDICES c join RDB$INDICES p on "
      "p.RDB$INDEX_NAME = c.RDB$FOREIGN_KEY where c.RDB$INDEX_NAME = " + QuotedLiteral(index.Name));
  if (parent.empty() || !parent[0][0] || !parent[0][1]) return {};
  const auto columns = SegmentsOf(connection, index.Name);
  const auto parentColumns = SegmentsOf(connection, *parent[0][0]);
  if (columns.empty() || columns.size() != parentColumns.size()) return {};
  std::string match, present;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    match += std::string(i == 0 ? "" : " and ") + "p." + QuotedIdentifier(parentColumns[i]) + " = c." + QuotedIdentifier(columns[i]);
    present += std::string(i == 0 ? "" : " and ") + "c." + QuotedIdentifier(columns[i]) + " is not null";
  }
  return KeysOfRows(connection.SelectRows("select first " + std::to_string(KeysShown) + " " + ColumnList(columns, "c.") +
                                          ", count(*) from " + QuotedIdentifier(index.Table) + " c where " + present +
                                          " and not exists (select 1 from " + QuotedIdentifier(*parent[0][1]) + " p where " +
                                          match + ") group by " + ColumnList(columns, "c.")),
                    columns);
}

}  // namespace

// Read from the tables themselves: every duplicated key of a unique index,
// every key of a foreign key without its parent row; the server's key for
// anything else, or when the tables cannot say.
std::vector<std::string> TIndexRecovery::OffendingKeys(TDbConnection& connection, const TIndex& index,
                                                       const std::string& error) const {
  try {
    const auto keys = index.Unique ? DuplicatedKeys(connection, index) : OrphanKeys(connection, index);
    if (!keys.empty()) return keys;
  } catch (const std::exception& failure) {
    FHost.AddLog(failure.what());
  }
  return {KeyInError(error)};
}
