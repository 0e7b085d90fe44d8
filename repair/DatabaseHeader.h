// The few facts of a Firebird database's header page that the repair reads
// straight from the file, without attaching: whether it is a database at
// all, and whether it is shut down (as a restore in progress leaves it).
#pragma once

#include <optional>
#include <string>

struct TDatabaseHeader {
  bool ShutDown = false;
};

// Nothing when the file cannot be read or its first page is no header page.
std::optional<TDatabaseHeader> ReadDatabaseHeader(const std::string& path);
