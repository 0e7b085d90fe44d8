// The command lines of the Firebird console tools, and running one with its
// output in the log. The tool and every file path are quoted, so a root with
// blanks reaches the tool as one argument.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "repair/InstallPaths.h"
#include "repair/RepairHost.h"
#include "repair/ToolWatch.h"

std::string GfixValidateCommand(const TInstallPaths& paths);
std::string GfixMendCommand(const TInstallPaths& paths);
std::string GfixOnlineCommand(const TInstallPaths& paths);
// remedy: switches gbak named itself ("-limbo", "-skip_data TABLE"), put
// after the usual ones; empty for the usual backup.
std::string GbakBackupCommand(const TInstallPaths& paths, const std::string& remedy = "");

// A tool's command line and the folder it runs in. Where the tool could not
// read the database's path through the ANSI code page (a Vietnamese folder
// name on Windows), it runs in the DATA folder and gets the repair's file
// names, all ASCII, relative to it; otherwise the command line names every
// file by its full path and the tool runs where the program runs.
struct TToolRun {
  std::string CommandLine;
  std::string WorkingFolder;  // without a trailing separator; empty: the program's own
};

TToolRun ToolRunFor(const TInstallPaths& paths, const std::function<std::string(const TInstallPaths&)>& command);

// Runs a tool within its bound: the handler gets each line as it comes and
// answers false once it has heard enough (the tool is then ended). A tool
// past its bound is ended and EToolStopped raised with the reason; a stop
// the operator asked for through the host ends it too and raises
// ERepairStopped; one that gave up but hung is ended and said so in the log.
// The host's events are processed while it runs silently. The tool's exit
// code, or ConsoleToolFailure when it could not be started.
using TToolLineHandler = std::function<bool(const std::string& line)>;
std::uint32_t RunBoundedTool(TRepairHost& host, const TToolRun& run, const TToolBound& bound,
                             const TToolLineHandler& onLine);

// RunBoundedTool with the tool's output going line by line to the host's
// log, and kept in captured when given. A tool that is there but cannot be
// started raises an error; one that does not exist at all gives
// ConsoleToolFailure and no line.
std::uint32_t RunLoggedTool(TRepairHost& host, const TToolRun& run, const TToolBound& bound,
                            std::vector<std::string>* captured = nullptr);
