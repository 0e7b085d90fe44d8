// A database restore through the Firebird Services API, in the embedded
// engine, with every verbose line handed to a callback. It succeeds only when
// the service reports no error and the restored database is online.
#pragma once

#include <functional>
#include <string>

#include "engine/RestoreOptions.h"

using TRestoreLineHandler = std::function<void(const std::string& line)>;

// Raises EScriptError with the server's message text when the restore fails.
// A handler that raises gets no further lines, and its error passes on once
// the service has ended: the embedded engine cannot stop a running restore
// safely (detaching from it leaves its thread working inside this process).
void RestoreDatabase(const std::string& backupFile, const std::string& databaseFile, const TRestoreOptions& options,
                     const TRestoreLineHandler& onLine);

// Raises EScriptError unless the database can be attached and is online.
void CheckDatabaseOnline(const std::string& databaseFile, const TRestoreOptions& options);
