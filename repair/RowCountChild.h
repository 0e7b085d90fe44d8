// Counting rows in a child process of its own: a damaged database can make
// the server hang for good inside the library (a failed read of a broken
// pointer page never lets the detach return), and such a hang must never be
// the repair's. The child is the small program "vyr-count-rows" beside the
// repair program; it is bounded like the Firebird tools and ended when the
// operator stops the repair.
#pragma once

#include <string>
#include <vector>

#include "repair/RepairHost.h"
#include "repair/RowCounts.h"
#include "repair/ToolWatch.h"

inline const std::string RowCountProgramName =
#ifdef _WIN32
    "vyr-count-rows.exe";
#else
    "vyr-count-rows";
#endif

// The child's words, ASCII whatever the names: "tables <count>" first, then
// "rows <count> <hex name>" or "unreadable <hex name>" per table; or "error
// <hex text>". The database path reaches it the same way, so no code page
// can change it. A count is whole only with every table it announced.
std::string HexOf(const std::string& text);
std::string TextOfHex(const std::string& hex);
std::vector<std::string> RowCountLines(const TRowCounts& counts);
std::string RowCountErrorLine(const std::string& error);
// Raises Exception with the child's error text, for lines it cannot read,
// and for a list without its announcement or with another number of tables.
TRowCounts RowCountsOfLines(const std::vector<std::string>& lines);

class TChildRowCounter : public TRowCounter {
 public:
  // programFolder ends with the separator.
  TChildRowCounter(TRepairHost& host, std::string programFolder)
      : FHost(host), FProgramFolder(std::move(programFolder)) {}
  TRowCounts Count(const std::string& database) override;

  TToolLimits Limits;

 private:
  TRepairHost& FHost;
  std::string FProgramFolder;
};
