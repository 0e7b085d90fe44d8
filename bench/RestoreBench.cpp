// The engine's restore beside gbak -c of the same backup, on a database of
// 200,000 rows made here; median of three runs each.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "repair/InstallPaths.h"
#include "repair/RestoreScript.h"
#include "tools/ConsoleTool.h"
#include "tools/ScriptEngineComponent.h"

namespace {

const std::string Folder = "/tmp/vyr-bench-restore/";

void Run(const std::string& commandLine) {
  std::string output;
  RunConsoleTool(commandLine, output, nullptr, false, nullptr, "");
}

double Median(const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < 3; ++i) {
    auto start = std::chrono::steady_clock::now();
    work();
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[1];
}

void MakeBackup(const TInstallPaths& paths) {
  const std::string script = Folder + "make.sql";
  FILE* file = std::fopen(script.c_str(), "w");
  std::fprintf(file,
               "create database '%s' user 'SYSDBA' page_size 8192 default character set UTF8;\n"
               "create table BLUONG (ID integer not null primary key, MSNV varchar(20), TEN varchar(60), LUONG numeric(15,2));\n"
               "set term ^;\n"
               "execute block as declare i integer = 0; begin while (i < 200000) do begin\n"
               "  insert into BLUONG values (:i, 'NV' || :i, 'Nguyễn Văn ' || :i, :i * 1.5); i = i + 1; end end^\n"
               "set term ;^\ncommit;\ncreate index BLUONG_MSNV on BLUONG (MSNV);\ncommit;\n",
               paths.Database.c_str());
  std::fclose(file);
  Run("isql-fb -q -i " + script);
  Run("gbak -b -g -user SYSDBA " + paths.Database + " " + paths.Backup);
}

}  // namespace

int main() {
  platform::SelectUtf8Locale();
  Run("rm -rf " + Folder);
  Run("mkdir -p " + Folder + "DATA");
  const TInstallPaths paths = TInstallPaths::FromFolderText(Folder);
  MakeBackup(paths);
  std::printf("backup: %.1f MB\n", static_cast<double>(platform::FileSize(paths.Backup).value_or(0)) / 1048576.0);

  TScriptEngineComponent engine(ENGINE_PATH);
  std::size_t lines = 0;
  engine.OnBlockProgress = [&](const std::string&, bool& go) { ++lines; };
  engine.OnScriptError = [](const std::string&, const std::string& error, bool&) {
    std::fprintf(stderr, "engine: %s\n", error.c_str());
  };
  const std::string script = BuildRestoreScript(paths, std::string(PROGRAM_FOLDER) + "/");
  double viaEngine = Median([&] {
    platform::DeleteFile(paths.Database);
    engine.Script().SetText(script);
    engine.ExecuteScript();
  });
  double viaGbak = Median([&] {
    platform::DeleteFile(paths.Database);
    Run("gbak -c -v -user SYSDBA " + paths.Backup + " " + paths.Database);
  });
  std::printf("engine restore %.2f s (%zu progress lines), gbak -c %.2f s, ratio %.3f\n", viaEngine, lines / 3,
              viaGbak, viaEngine / viaGbak);
  Run("rm -rf " + Folder);
  return 0;
}
