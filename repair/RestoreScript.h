// The script that rebuilds the database from its backup through the script
// engine: ten lines separated by single carriage returns.
#pragma once

#include <string>

#include "platform/NativeNames.h"
#include "repair/InstallPaths.h"

// The text in single quotes, with every single quote doubled.
std::string Q(const std::string& text);

// programFolder ends in a separator; the restore loads the client library there.
std::string BuildRestoreScript(const TInstallPaths& paths, const std::string& programFolder);

// The client library's file name in the program folder.
inline const std::string ClientLibraryName = platform::ClientLibraryName;
