// How the repair connects to a database through the client library: the
// Firebird provider, the client library of the program folder, Unicode, the
// repair's account.
#pragma once

#include <string>

class TDbConnection;

// programFolder ends with the path separator.
void PointConnectionAt(TDbConnection& connection, const std::string& programFolder, const std::string& database);
