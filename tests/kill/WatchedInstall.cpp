#include "kill/WatchedInstall.h"

#include <filesystem>

#include "platform/Files.h"
#include "support/FirebirdTools.h"
#include "support/VyrFixture.h"

namespace {

namespace fs = std::filesystem;

// The counts and sums that must survive, read from a copy so that the check
// itself never changes the file it checks. Empty when it cannot be read.
std::string Fingerprint(const std::string& database, const TTestFolder& scratch) {
  const std::string copy = scratch / "check.fdb";
  fs::remove(copy);
  if (!platform::FileExists(database) || platform::CopyFile(database, copy)) return std::string();
  const std::string output = RunIsqlOn(copy,
      "select 'FP=' || (select count(*) from BLUONG) || '/' || (select sum(LUONG) from BLUONG) || '/' ||"
      " (select count(*) from PHUCAP) || '/' || (select sum(TIEN) from PHUCAP) || '/' ||"
      " (select count(*) from DM) || '/' || (select count(*) from DMDTTT) || '/' || (select count(*) from DMPB)"
      " from rdb$database;\n");
  const auto at = output.find("FP=");
  if (at == std::string::npos) return std::string();
  return output.substr(at, output.find_first_of(" \n", at) - at);
}

}  // namespace

const std::string CuttingGbak =
    "/usr/bin/gbak \"$@\"\n"
    "status=$?\n"
    "if [ -n \"$VYR_TEST_CUT_BACKUP\" ]; then\n"
    "  for last in \"$@\"; do :; done\n"
    "  truncate -s $(( $(stat -c %s \"$last\") * 2 / 5 )) \"$last\"\n"
    "fi\n"
    "exit $status\n";

TWatchedInstall::TWatchedInstall(const TInstallOptions& options) {
  MakeFolders(folder / "DATA");
  MakeFolders(folder / "fb/bin");
  if (options.DataFolderBytes != 0) {
    FDataFileSystem = std::make_unique<TSmallFileSystem>(folder / "DATA", options.DataFolderBytes);
    FReady = FDataFileSystem->Mounted();
    if (!FReady) return;
  }
  fs::create_symlink(GfixPath, folder / "fb/bin/gfix");
  MakeExecutableScript(folder / "fb/bin/gbak", options.Gbak);
  TVyrDamage damage;
  damage.PayrollRows = options.PayrollRows;
  damage.DuplicatedPayrollKeys = options.PayrollRows / 100 + 2;
  CreateVyrDatabase(scratch / "original.fdb", damage);
  platform::CopyFile(scratch / "original.fdb", Database());
  originalFingerprint = Fingerprint(Database(), scratch);
}

bool TWatchedInstall::DatabaseHasTheOriginalRows() {
  return !originalFingerprint.empty() && Fingerprint(Database(), scratch) == originalFingerprint;
}

bool TWatchedInstall::OriginalSurvives() {
  return DatabaseHasTheOriginalRows() || platform::SameContents(SafetyCopy(), scratch / "original.fdb");
}
