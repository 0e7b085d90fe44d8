#include "repair/ToolCommands.h"

#include "platform/CommandLine.h"
#include "platform/Exception.h"
#include "platform/Files.h"
#include "platform/ToolText.h"
#include "repair/RepairTexts.h"
#include "tools/ConsoleTool.h"

namespace {

using platform::QuoteArgument;

std::string Account() { return "-user " + texts::DatabaseUser + " -password " + texts::DatabasePassword; }

std::string GfixCommand(const TInstallPaths& paths, const std::string& switches) {
  return QuoteArgument(paths.Gfix()) + " " + switches + " " + Account() + "  " + QuoteArgument(paths.Database) + " ";
}

}  // namespace

std::string GfixValidateCommand(const TInstallPaths& paths) { return GfixCommand(paths, "-v -full"); }

std::string GfixMendCommand(const TInstallPaths& paths) { return GfixCommand(paths, "-mend -ig"); }

std::string GfixOnlineCommand(const TInstallPaths& paths) { return GfixCommand(paths, "-online"); }

std::string GbakBackupCommand(const TInstallPaths& paths, const std::string& remedy) {
  return QuoteArgument(paths.Gbak()) + " -b -g -ig " + (remedy.empty() ? "" : remedy + " ") + Account() + " " + QuoteArgument(paths.Database) + " " +
         QuoteArgument(paths.Backup);
}

namespace {

// A tool that is there but could not be started (no right to run it, a
// broken interpreter, a path the system refuses) must not pass as silence:
// only a tool that does not exist at all is skipped without a word.
std::uint32_t Started(std::uint32_t exitCode, const std::string& commandLine) {
  if (exitCode != ConsoleToolFailure) return exitCode;
  const auto arguments = platform::SplitCommandLine(commandLine);
  if (!arguments.empty() && platform::FileExists(arguments.front()))
    throw Exception(texts::ToolNotStarted(arguments.front()));
  return exitCode;
}

}  // namespace

TToolRun ToolRunFor(const TInstallPaths& paths, const std::function<std::string(const TInstallPaths&)>& command) {
  if (platform::ToolCanReadText(paths.Database) && platform::ToolCanReadText(paths.Backup)) return {command(paths), ""};
  TInstallPaths relative = paths;
  relative.Database = paths.Database.substr(paths.DataFolder.size());
  relative.Backup = paths.Backup.substr(paths.DataFolder.size());
  return {command(relative), paths.DataFolder.substr(0, paths.DataFolder.size() - 1)};
}

std::uint32_t RunBoundedTool(TRepairHost& host, const TToolRun& run, const TToolBound& bound,
                             const TToolLineHandler& onLine) {
  TToolWatch watch(bound);
  bool stop = false;
  bool byOperator = false;
  bool pastLastWords = false;
  bool ended = false;  // the handler has heard enough
  std::string reason;
  const auto look = [&] {
    if (reason.empty() && host.StopRequested()) {
      byOperator = true;
      reason = texts::StoppedByOperator(bound.Tool);
    }
    if (reason.empty()) reason = watch.Check();
    pastLastWords = pastLastWords || watch.PastItsLastWords();
    stop = !reason.empty() || pastLastWords || ended;
  };
  const std::uint32_t exitCode = RunConsoleTool(
      run.CommandLine,
      [&](const std::string& line) {
        ended = !onLine(line) || ended;
        watch.Saw(line);
        look();
      },
      false, &stop, run.WorkingFolder,
      [&] {
        look();
        host.ProcessEvents();
      });
  if (byOperator) throw ERepairStopped(reason);
  if (reason.empty()) reason = watch.CheckFiles();
  if (!reason.empty()) throw EToolStopped(reason);
  if (pastLastWords) host.AddLog(texts::ToolEndedAfterItsError(bound.Tool));
  return exitCode;
}

std::uint32_t RunLoggedTool(TRepairHost& host, const TToolRun& run, const TToolBound& bound,
                            std::vector<std::string>* captured) {
  const std::uint32_t exitCode = RunBoundedTool(host, run, bound, [&](const std::string& line) {
    host.AddLog(line);
    if (captured != nullptr) captured->push_back(line);
    return true;
  });
  return Started(exitCode, run.CommandLine);
}
