#include "app/CommandLine.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "platform/Files.h"
#include "repair/ConsoleHost.h"
#include "repair/ProgramCheck.h"
#include "repair/RepairParts.h"
#include "repair/RepairProcedure.h"

namespace {

constexpr int UsageError = 64;

const char* const Usage =
    "Cách dùng / usage:\n"
    "  vyr-repair                   mở cửa sổ sửa dữ liệu / open the repair window\n"
    "  vyr-repair --repair FOLDER   sửa dữ liệu của thư mục VYR FOLDER, không cần cửa sổ /\n"
    "                               repair the VYR install folder FOLDER without a window\n"
    "  vyr-repair --check           thư mục chương trình và các thư viện / the program folder and its libraries\n"
    "  vyr-repair --help            trang này / this page\n"
    "  vyr-repair --version         phiên bản / the version\n"
    "--repair exit status: 0 done; 1 failed, the database as before; 2 failed, the original only in\n"
    "DATA/VYR_LUU.FDB; 3 refused before any change (no database, in use, no room, another run);\n"
    "4 rebuilt and working, but some indexes could not be activated: call support; 5 rebuilt, but\n"
    "not every table could be counted before the backup, so no row count was checked: call support.\n"
    "Ctrl+C or SIGTERM stops a running repair; the original is put back.\n"
    "An unknown option or a missing FOLDER: this page on standard error, exit status 64.\n";

constexpr int NothingChanged = 3;
constexpr int StateUnknown = 2;

// The program's parts are made before anything is touched: a library that
// cannot be loaded ends the run with its reason and nothing changed.
int RepairFolder(const std::string& folder) {
  TSavedLog savedLog;
  TConsoleHost host(savedLog);
  std::unique_ptr<TRepairParts> parts;
  try {
    parts = std::make_unique<TRepairParts>(host, platform::ProgramFolder());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return NothingChanged;
  }
  TRepairProcedure procedure(host, &parts->DataStage(), &parts->RebuildStage(), &savedLog, &parts->RowCounter());
  try {
    return static_cast<int>(procedure.Run(folder));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return StateUnknown;
  }
}

int CheckProgram() {
  std::printf("Program folder: %s\n", platform::ProgramFolder().c_str());
  const TProgramCheck check = CheckProgramLibraries();
  for (const auto& line : check.Lines) std::printf("%s\n", line.c_str());
  return check.Complete ? 0 : 1;
}

int ShowUsage() {
  std::fputs(Usage, stdout);
  return 0;
}

int ShowVersion() {
  std::printf("vyr-repair %s\n", VYR_VERSION);
  return 0;
}

int WrongUse() {
  std::fputs(Usage, stderr);
  return UsageError;
}

// The window toolkit's own options, each with whether it takes a value.
bool IsWindowOption(const std::string& argument, bool& takesValue) {
  static const char* const WithValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                          "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-display",
                                          "-geometry", "-style", "-stylesheet", "-session"};
  static const char* const Alone[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
  const std::string name = argument.substr(0, argument.find('='));
  for (const char* option : WithValue)
    if (name == option) {
      takesValue = name == argument;
      return true;
    }
  takesValue = false;
  for (const char* option : Alone)
    if (argument == option) return true;
  return false;
}

// True when every argument is one of the toolkit's options with its value.
bool OnlyWindowOptions(int argc, char* argv[]) {
  for (int at = 1; at < argc; ++at) {
    bool takesValue = false;
    if (!IsWindowOption(argv[at], takesValue)) return false;
    if (takesValue && ++at >= argc) return false;
  }
  return true;
}

}  // namespace

std::optional<int> RunWithoutWindow(int argc, char* argv[]) {
  if (argc < 2) return std::nullopt;
  const std::string option = argv[1];
  if (option == "--repair") return argc == 3 ? RepairFolder(argv[2]) : WrongUse();
  if (option == "--check") return argc == 2 ? CheckProgram() : WrongUse();
  if (option == "--help") return argc == 2 ? ShowUsage() : WrongUse();
  if (option == "--version") return argc == 2 ? ShowVersion() : WrongUse();
  if (OnlyWindowOptions(argc, argv)) return std::nullopt;
  return WrongUse();
}
