// The whole repair of a 200,000-row database as the program runs it (its
// parts, the row counter's child, the marker, the safety copy), beside the
// same procedure by hand: gfix -v -full, gfix -mend -ig, the four statements
// through isql committed one by one, gbak -b -g -ig, gbak -c, and the four
// seconds of pauses the repair makes. Prints the ratio, the time of each
// phase, and the repair's own work (neither a tool, a statement nor a pause)
// as a share of the whole.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "db/DbConnection.h"
#include "db/DbSQL.h"
#include "db/DbTransaction.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "repair/DataRepairStage.h"
#include "repair/RebuildStage.h"
#include "repair/PhaseTimes.h"
#include "repair/RepairParts.h"
#include "repair/RepairProcedure.h"
#include "repair/RepairStatements.h"
#include "repair/RowCounts.h"
#include "repair/SavedLog.h"
#include "support/FirebirdTools.h"
#include "support/TestFolder.h"
#include "support/VyrFixture.h"
#include "tools/ConsoleTool.h"
#include "tools/ScriptEngineComponent.h"

namespace {

namespace fs = std::filesystem;

class TQuietHost : public TRepairHost {
 public:
  void AddLog(const std::string&) override { ++Lines; }
  void ProcessEvents() override {}
  void ShowMessage(const std::string& text) override { Messages += text + "|"; }
  void FocusFolderBox() override {}
  void Pause(unsigned milliseconds) override { platform::SleepMilliseconds(milliseconds); }
  int Lines = 0;
  std::string Messages;
};

double SecondsOf(const std::function<void()>& work) {
  auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Tool(const std::string& commandLine) { RunConsoleTool(commandLine, nullptr, false, nullptr, ""); }

// One statement through isql, committed.
void Isql(const std::string& database, const TStatementLines& statement) {
  std::string text = "set term ^;\n";
  for (const auto& line : statement) text += line + "\n";
  RunIsqlOn(database, text + "^\nset term ;^\ncommit;\n");
}

double Repair(const std::string& root, TQuietHost& host) {
  TRepairParts parts(host, std::string(PROGRAM_FOLDER) + "/");
  TSavedLog savedLog;
  return SecondsOf([&] {
    TRepairProcedure(host, &parts.DataStage(), &parts.RebuildStage(), &savedLog, &parts.RowCounter()).Run(root);
  });
}

}  // namespace

int main() {
  platform::SelectUtf8Locale();
  TTestFolder folder("VYR10");
  MakeFolders(folder / "DATA");
  MakeFolders(folder / "fb/bin");
  fs::create_symlink("/usr/bin/gfix", folder / "fb/bin/gfix");
  fs::create_symlink("/usr/bin/gbak", folder / "fb/bin/gbak");
  const auto paths = TInstallPaths::FromFolderText(folder.Path());
  TVyrDamage damage;
  damage.PayrollRows = 200000;
  damage.DuplicatedPayrollKeys = 2000;
  CreateVyrDatabase(folder / "pristine.fdb", damage);
  std::printf("database: %llu bytes\n", static_cast<unsigned long long>(platform::FileSize(folder / "pristine.fdb").value_or(0)));

  const std::string db = paths.Database, bk = paths.Backup, account = " -user SYSDBA -password quartzfin ";
  for (int round = 1; round <= 2; ++round) {
    platform::CopyFile(folder / "pristine.fdb", paths.Database);
    platform::DeleteFile(paths.Backup);
    const double byHand = SecondsOf([&] {
      Tool("gfix -v -full" + account + db);
      Tool("gfix -mend -ig" + account + db);
      for (const auto& statement : {FillDepartmentIdsBlock(), FillDepartmentIdsUpdate(), CreateTempTablesBlock(),
                                    RemoveDuplicateKeysBlock()}) {
        Isql(db, statement);
        platform::SleepMilliseconds(TDataRepairStage::PauseAfterStep);
      }
      Tool("gbak -b -g -ig" + account + db + " " + bk);
      platform::DeleteFile(db);
      Tool("gbak -c" + account + bk + " " + db);
    });

    platform::CopyFile(folder / "pristine.fdb", paths.Database);
    platform::DeleteFile(paths.Backup);
    TQuietHost host;
    const double repair = Repair(folder.Path(), host);
    const TPhaseTimes& times = TPhaseTimes::OfThisRun();
    std::printf("round %d: whole repair %.2f s (%d log lines, boxes: %s); the same by hand %.2f s; ratio %.3f\n", round,
                repair, host.Lines, host.Messages.c_str(), byHand, repair / byHand);
    std::uint64_t accounted = 0, procedure = 0;
    for (int phase = 0; phase < static_cast<int>(TPhase::Count); ++phase) {
      const auto which = static_cast<TPhase>(phase);
      const std::uint64_t ms = times.Milliseconds(which);
      accounted += ms;
      const bool tool = which == TPhase::Gfix || which == TPhase::Statements || which == TPhase::Backup ||
                        which == TPhase::Restore;
      if (tool) procedure += ms;
      std::printf("  %-14s %7.3f s%s\n", TPhaseTimes::Name(which).c_str(), ms / 1000.0,
                  which == TPhase::ChangeReport ? "  (read inside the pauses, which it shortens)" : "");
    }
    std::printf("  %-14s %7.3f s\n", "the rest", repair - accounted / 1000.0);
    // What the repair adds to the procedure: everything but the tools, the
    // statements and the four seconds of pauses that the procedure has too.
    const double own = repair - procedure / 1000.0 - 4.0;
    std::printf("  own work %.3f s = %.1f %% of the repair\n", own, 100.0 * own / repair);
  }
  return 0;
}
