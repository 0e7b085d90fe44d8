// What the data stage changed, for the log: read from the database before
// and after the statements that change it, matched row by row through the
// record's own key (RDB$DB_KEY) — the departments that got an ID, every
// renamed key with the row's other key columns, the allowances that took a
// new key. A report that cannot be read is one log line; the repair goes on.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "repair/RepairHost.h"

class TDbConnection;

class TChangeReport {
 public:
  TChangeReport(TRepairHost& host, TDbConnection& connection) : FHost(host), FConnection(connection) {}

  void BeforeDepartmentIds();  // before statement 1
  void AfterDepartmentIds();   // after statement 2
  // Payroll rows that share an ID leave some allowances where they are;
  // named before statement 4 runs (a failure to read: its text alone).
  void AllowancesThatKeepTheirKey();
  void BeforeDuplicateKeys();  // before statement 4
  void AfterDuplicateKeys();   // after statement 4

  using TValues = std::vector<std::optional<std::string>>;
  using TRows = std::map<std::string, TValues>;  // record key (hexadecimal) -> values

 private:
  TRows Read(const std::string& query);
  TRows ReadByRecordKey(const std::string& table, const std::string& columns, const TRows& rows);
  template <typename Step>
  void Guarded(Step step);

  TRepairHost& FHost;
  TDbConnection& FConnection;
  TRows FDepartments;
  std::vector<TRows> FKeyedRows;  // one a table with duplicate keys
  TRows FAllowances;
};
