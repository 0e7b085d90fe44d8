#include "repair/ChangeReport.h"

#include <exception>

#include "db/DbConnection.h"
#include "repair/RepairStatements.h"
#include "repair/RepairTexts.h"

namespace {

// The record key as 16 hexadecimal digits, for a literal x'...' later.
const std::string RecordKey =
    "substring(replace(uuid_to_char(cast(b.rdb$db_key as char(8) character set octets) || x'0000000000000000'), '-', '') "
    "from 1 for 16)";

constexpr std::size_t KeysPerQuery = 500;

std::string Shown(const std::optional<std::string>& value) { return value ? *value : std::string("trống"); }

std::string Columns(const std::vector<std::string>& names, const std::string& prefix) {
  std::string list;
  for (const auto& name : names) list += ", " + prefix + name;
  return list;
}

// The key columns but the last, as "NAM 2024, THANG 3".
std::string OtherKeyColumns(const TKeyedTable& table, const TChangeReport::TValues& values) {
  std::string text;
  for (std::size_t i = 0; i + 1 < table.Key.size(); ++i)
    text += (text.empty() ? "" : ", ") + table.Key[i] + " " + Shown(values[i]);
  return text;
}

}  // namespace

template <typename Step>
void TChangeReport::Guarded(Step step) {
  try {
    step();
  } catch (const std::exception& error) {
    FHost.AddLog(texts::ChangesNotRead(error.what()));
  }
}

TChangeReport::TRows TChangeReport::Read(const std::string& query) {
  TRows rows;
  for (auto& row : FConnection.SelectRows(query)) {
    if (!row[0]) continue;
    const std::string key = *row[0];
    rows[key] = TValues(row.begin() + 1, row.end());
  }
  return rows;
}

TChangeReport::TRows TChangeReport::ReadByRecordKey(const std::string& table, const std::string& columns,
                                                    const TRows& rows) {
  TRows found;
  std::string keys;
  std::size_t inQuery = 0;
  const auto flush = [&] {
    if (inQuery == 0) return;
    for (auto& [key, values] : Read("select " + RecordKey + columns + " from " + table + " b where b.rdb$db_key in (" +
                                    keys + ")"))
      found[key] = std::move(values);
    keys.clear();
    inQuery = 0;
  };
  for (const auto& [key, values] : rows) {
    keys += std::string(inQuery == 0 ? "" : ", ") + "x'" + key + "'";
    if (++inQuery == KeysPerQuery) flush();
  }
  flush();
  return found;
}

void TChangeReport::BeforeDepartmentIds() {
  Guarded([this] { FDepartments = Read("select " + RecordKey + " from DMPB b where b.ID is null"); });
}

void TChangeReport::AfterDepartmentIds() {
  if (FDepartments.empty()) return;
  Guarded([this] {
    std::vector<std::string> ids;
    for (const auto& [key, values] : ReadByRecordKey("DMPB", ", b.ID", FDepartments))
      if (values[0]) ids.push_back(*values[0]);
    if (!ids.empty()) FHost.AddLog(texts::DepartmentIdsGiven(ids));
  });
}

void TChangeReport::AllowancesThatKeepTheirKey() {
  try {
    if (FConnection.SelectRows(SomeSharedPayrollIdQuery()).empty()) return;
    for (const auto& row : FConnection.SelectRows(AllowancesOfSharedPayrollIdsQuery()))
      FHost.AddLog(texts::AllowanceKeepsItsKey(row[0], row[1], row[2], row[3], row[4]));
  } catch (const std::exception& error) {
    FHost.AddLog(error.what());
  }
}

void TChangeReport::BeforeDuplicateKeys() {
  Guarded([this] {
    FKeyedRows.clear();
    for (const auto& table : TablesWithDuplicateKeys())
      FKeyedRows.push_back(Read(RowsWithDuplicatedKeys(table, RecordKey + Columns(table.Key, "b."))));
    const TKeyedTable& payroll = TablesWithDuplicateKeys().back();
    FAllowances = Read("select " + RecordKey + ", b.ID, b.IDLUONG, b.MSNV from PHUCAP b join (" +
                       RowsWithDuplicatedKeys(payroll, "distinct b.ID") + ") d on d.ID = " + Unindexed("b.IDLUONG"));
  });
}

void TChangeReport::AfterDuplicateKeys() {
  Guarded([this] {
    const auto& tables = TablesWithDuplicateKeys();
    std::vector<std::string> renamed;
    for (std::size_t t = 0; t < tables.size() && t < FKeyedRows.size(); ++t) {
      const TKeyedTable& table = tables[t];
      const std::size_t suffix = table.Key.size() - 1;
      for (const auto& [key, now] : ReadByRecordKey(table.Source, Columns(table.Key, "b."), FKeyedRows[t])) {
        const TValues& before = FKeyedRows[t].at(key);
        if (before[suffix] != now[suffix])
          renamed.push_back(texts::KeyRenamed(table.Source, OtherKeyColumns(table, before), Shown(before[suffix]),
                                              Shown(now[suffix])));
      }
    }
    if (!renamed.empty()) FHost.AddLog(texts::KeysRenamed(renamed.size()));
    for (const auto& line : renamed) FHost.AddLog(line);
    std::vector<std::string> followed;
    for (const auto& [key, now] : ReadByRecordKey("PHUCAP", ", b.MSNV", FAllowances)) {
      const TValues& before = FAllowances.at(key);
      if (before[2] != now[0])
        followed.push_back(texts::AllowanceFollowed(Shown(before[0]), Shown(before[1]), Shown(before[2]), Shown(now[0])));
    }
    if (!followed.empty()) FHost.AddLog(texts::AllowancesFollowed(followed.size()));
    for (const auto& line : followed) FHost.AddLog(line);
  });
}
