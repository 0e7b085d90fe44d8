// The rows of every user table, counted through the client library: before
// the gfix passes, after the data stage and after the restore, so that a
// rebuild that loses rows cannot end in "done" and the operator learns what
// gfix's mend removed.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/Exception.h"

using TRowCounts = std::map<std::string, std::int64_t>;  // table name -> rows

// The count of a table the server could not read (a destroyed pointer page):
// it is compared with nothing before, and counts as no rows after.
constexpr std::int64_t UnreadableRows = -1;

class TRowCounter {
 public:
  virtual ~TRowCounter() = default;
  // Raises the connection's error when the database cannot be read.
  virtual TRowCounts Count(const std::string& database) = 0;
};

// Counts through a connection of its own, with the client library of the
// program folder (ending with the separator).
class TClientRowCounter : public TRowCounter {
 public:
  explicit TClientRowCounter(std::string programFolder) : FProgramFolder(std::move(programFolder)) {}
  TRowCounts Count(const std::string& database) override;

 private:
  std::string FProgramFolder;
};

class TDbConnection;

// Opens the connection on the database and counts table by table; the
// connection stays open. A table that cannot be read counts UnreadableRows.
TRowCounts CountRowsThrough(TDbConnection& connection, const std::string& programFolder, const std::string& database);

// A table with fewer rows after the rebuild than before it.
struct TRowLoss {
  std::string Table;
  std::int64_t Before, After;
};

std::vector<TRowLoss> RowsLost(const TRowCounts& before, const TRowCounts& after);

// The tables a count could not read.
std::vector<std::string> UnreadableTables(const TRowCounts& counts);

// The rebuild lost rows: the repair fails, the safety copy goes back.
class ERowsLost : public Exception {
 public:
  using Exception::Exception;
};
