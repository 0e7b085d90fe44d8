// The command lines of the Firebird console tools. The tool and every file
// path are quoted, so a root with blanks reaches the tool as one argument.
#pragma once

#include <string>

#include "repair/InstallPaths.h"

std::string GfixValidateCommand(const TInstallPaths& paths);
std::string GfixMendCommand(const TInstallPaths& paths);
std::string GbakBackupCommand(const TInstallPaths& paths);
