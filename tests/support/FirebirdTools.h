// Debian's Firebird tools driven by tests: databases made with isql-fb, and
// an isql-fb session that stays attached while a test runs.
#pragma once

#include <memory>
#include <string>

// Creates a small UTF8 database at path with one table T of a few rows.
// Throws std::runtime_error with isql-fb's output when that fails.
void CreateTestDatabase(const std::string& path);

// Runs an SQL script through isql-fb; returns its output (stdout and stderr).
std::string RunIsql(const std::string& scriptText);

// Runs an SQL script through isql-fb attached to the database.
std::string RunIsqlOn(const std::string& database, const std::string& scriptText);

// The text of a string literal in SQL: quotes doubled.
std::string SqlLiteral(const std::string& text);

// An isql-fb process attached to a database until the object goes.
class TAttachedSession {
 public:
  explicit TAttachedSession(const std::string& databasePath);
  ~TAttachedSession();
  TAttachedSession(const TAttachedSession&) = delete;
  TAttachedSession& operator=(const TAttachedSession&) = delete;

 private:
  int FPid = -1;
  int FInput = -1;
};

// Where Debian installs the tools.
inline const std::string IsqlPath = "/usr/bin/isql-fb";
inline const std::string GfixPath = "/usr/bin/gfix";
inline const std::string GbakPath = "/usr/bin/gbak";
