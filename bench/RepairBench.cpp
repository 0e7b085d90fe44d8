// The whole repair of a 200,000-row database through the procedure, beside
// the four tools run by hand (gfix -v -full, gfix -mend -ig, gbak -b -g -ig,
// gbak -c) plus the four seconds of pauses the procedure makes; then the
// same repair with every table's rows counted before gfix, before the backup
// and after the restore.
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
#include "repair/RepairProcedure.h"
#include "repair/RowCounts.h"
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

  platform::CopyFile(folder / "pristine.fdb", paths.Database);
  const std::string db = paths.Database, bk = paths.Backup, account = " -user SYSDBA -password quartzfin ";
  const double byHand = SecondsOf([&] {
    Tool("gfix -v -full" + account + db);
    Tool("gfix -mend -ig" + account + db);
    Tool("gbak -b -g -ig" + account + db + " " + bk);
    platform::DeleteFile(db);
    Tool("gbak -c" + account + bk + " " + db);
    platform::SleepMilliseconds(4 * TDataRepairStage::PauseAfterStep);
  });

  TQuietHost host;
  TDbConnection cnn;
  cnn.ProviderOptions().Add("Firebird.Charset=UTF8");
  cnn.ProviderOptions().Add("Firebird.UseUnicode=True");
  TDbTransaction Trans;
  Trans.SetDefaultConnection(&cnn);
  TDbQuery udDMPB, scCreateTmp, Sql;
  TDbSQL udDMPB2;
  const TRepairStatements statements = SetUpRepairStatements(cnn, Trans, udDMPB, udDMPB2, scCreateTmp, Sql);
  const std::string programFolder = std::string(PROGRAM_FOLDER) + "/";
  TDataRepairStage data(host, cnn, statements, programFolder);
  TScriptEngineComponent engine(programFolder + "libScriptEngine.so");
  engine.OnScriptError = [](const std::string&, const std::string& e, bool&) { std::fprintf(stderr, "%s\n", e.c_str()); };
  TRebuildStage rebuild(host, engine, programFolder);
  TClientRowCounter counter(programFolder);
  const auto repair = [&](TRowCounter* rowCounter) {
    platform::CopyFile(folder / "pristine.fdb", paths.Database);
    platform::DeleteFile(paths.Backup);
    return SecondsOf([&] { TRepairProcedure(host, &data, &rebuild, nullptr, rowCounter).Run(folder.Path()); });
  };
  const double procedure = repair(nullptr);
  std::printf("whole repair %.2f s (%d log lines, boxes: %s); tools by hand + 4 s of pauses %.2f s; ratio %.3f\n",
              procedure, host.Lines, host.Messages.c_str(), byHand, procedure / byHand);
  const double counted = repair(&counter);
  std::printf("with the rows counted three times %.2f s; ratio to the repair without counts %.3f\n", counted,
              counted / procedure);
  return 0;
}
