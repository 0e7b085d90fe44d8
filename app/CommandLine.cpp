#include "app/CommandLine.h"

#include <cstdio>
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
    "4 rebuilt and working, but some indexes could not be activated: call support.\n";

int RepairFolder(const std::string& folder) {
  TSavedLog savedLog;
  TConsoleHost host(savedLog);
  TRepairParts parts(host, platform::ProgramFolder());
  TRepairProcedure procedure(host, &parts.DataStage(), &parts.RebuildStage(), &savedLog, &parts.RowCounter());
  return static_cast<int>(procedure.Run(folder));
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

}  // namespace

std::optional<int> RunWithoutWindow(int argc, char* argv[]) {
  if (argc < 2) return std::nullopt;
  const std::string option = argv[1];
  if (option == "--repair") return argc == 3 ? RepairFolder(argv[2]) : WrongUse();
  if (option == "--check") return argc == 2 ? CheckProgram() : WrongUse();
  if (option == "--help") return argc == 2 ? ShowUsage() : WrongUse();
  if (option == "--version") return argc == 2 ? ShowVersion() : WrongUse();
  return std::nullopt;  // the window's own options (Qt's among them)
}
