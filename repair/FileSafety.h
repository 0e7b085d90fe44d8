// The checks that stand between the operator's request and the first change
// to the database: nothing is copied or changed unless they pass.
#pragma once

#include <optional>
#include <string>

#include "repair/InstallPaths.h"

// Why the repair cannot start (an operator-facing text), or nothing.
std::optional<std::string> CheckRepairCanStart(const TInstallPaths& paths);

// Deletes an old safety copy and takes a new one. Why no sound safety copy
// exists afterwards, or nothing.
std::optional<std::string> TakeSafetyCopy(const TInstallPaths& paths);

// Copies the safety copy over the database. Why that failed, or nothing.
std::optional<std::string> RestoreSafetyCopy(const TInstallPaths& paths);
