// A database restore through the Firebird Services API, in the embedded
// engine, with every verbose line handed to a callback. It succeeds only when
// the service reports no error and the restored database is online.
#pragma once

#include <functional>
#include <string>

#include "engine/RestoreOptions.h"

using TRestoreLineHandler = std::function<void(const std::string& line)>;

// Raises EScriptError with the server's message text when the restore fails;
// a handler that raises ends the restore (the service is detached, which
// cancels it) and its error passes on.
void RestoreDatabase(const std::string& backupFile, const std::string& databaseFile, const TRestoreOptions& options,
                     const TRestoreLineHandler& onLine);

// Raises EScriptError unless the database can be attached and is online.
void CheckDatabaseOnline(const std::string& databaseFile, const TRestoreOptions& options);
