// Makes a VYR-like Firebird database (its domains, generator G_ID and the
// tables DMPB, DMDTTT, DM, BLUONG, PHUCAP) with chosen damage, for the
// tests, the demo and the benchmarks.
#pragma once

#include <string>

struct TVyrDamage {
  int DepartmentsWithoutId = 2;   // DMPB rows whose ID is null
  int PayrollRows = 20;           // BLUONG rows (each with two PHUCAP rows)
  int DuplicatedPayrollKeys = 2;  // payroll keys that occur twice
  bool DuplicatedCatalogue = true;  // DMDTTT key A1 three times and DM key (2024, 01, M1) twice
  bool WithGenerator = true;
  std::string KeyCollation;  // a collation for DM_MA_SO, e.g. "UNICODE_CI"; empty: the default
  std::string KeyCharacterSet = "UTF8";  // DM_MA_SO's character set where a collation is named
  // The keys VYR keeps when sound (needs no duplicated keys): unique indexes
  // DMDTTT_KEY, DM_KEY and BLUONG_KEY, BLUONG's primary key on ID and a
  // foreign key from PHUCAP.IDLUONG to it.
  bool KeyIndexes = false;
};

struct TTempTable;

// "create table NAME (...)" with the columns of a temporary table.
std::string CreateTableStatement(const std::string& name, const TTempTable& columns);

// Raises std::runtime_error with isql-fb's output when the database is not made.
void CreateVyrDatabase(const std::string& path, const TVyrDamage& damage = {});
