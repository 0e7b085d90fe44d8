// The repair without a window: the real procedure, stages, connection,
// statements and script engine, reporting through a host that prints one
// line per report on standard output:
//   LOG <text>    a log line (line breaks inside shown as " | ")
//   BOX <text>    a message box
//   PAUSE <ms>    the pause after a repair statement
// With --gaps it also prints, at the end, the longest stretch without event
// processing in each phase, as the window would see it.
// At the end it prints the outcome ("OUTCOME <exit status of --repair>").
// --tool-seconds bounds every tool and child to N seconds whatever the size.
//   headless_repair FOLDER [--pause-ms N] [--gaps] [--tool-seconds N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Process.h"
#include "repair/RepairParts.h"
#include "repair/RepairProcedure.h"
#include "repair/SavedLog.h"

namespace {

std::string OneLine(std::string text) {
  for (std::size_t at = 0; (at = text.find_first_of("\r\n", at)) != std::string::npos;) text.replace(at, 1, " | ");
  return text;
}

// Reports go to a copy of the standard output taken at the start: the
// restore catches the standard output itself while it runs.
FILE* ReportStream() { return platform::KeptStandardOutput(); }

// Measures the stretches between event rounds, by the phase they end in.
class TGapMeter {
 public:
  void Phase(const std::string& name) {
    Round();
    FPhase = name;
  }
  void Round() {
    const std::uint64_t now = platform::SteadyMilliseconds();
    std::uint64_t& longest = FLongest[FPhase];
    if (now - FLast > longest) longest = now - FLast;
    FLast = now;
  }
  void Print() const {
    for (const auto& [phase, milliseconds] : FLongest)
      std::fprintf(ReportStream(), "GAP %s %llu ms\n", phase.c_str(), static_cast<unsigned long long>(milliseconds));
  }

 private:
  std::string FPhase = "safety copy and gfix";
  std::uint64_t FLast = platform::SteadyMilliseconds();
  std::map<std::string, std::uint64_t> FLongest;
};

class TPrintingHost : public TRepairHost {
 public:
  explicit TPrintingHost(unsigned pauseMilliseconds) : FPauseMilliseconds(pauseMilliseconds) {}

  void AddLog(const std::string& text) override {
    SavedLog.Write(text);
    Print("LOG", text);
    ProcessEvents();
  }
  void ProcessEvents() override { Gaps.Round(); }
  void ShowMessage(const std::string& text) override {
    SavedLog.WriteBox(text);
    Print("BOX", text);
  }
  void FocusFolderBox() override {}
  // The window processes events all through its pause.
  void Pause(unsigned milliseconds) override {
    Print("PAUSE", std::to_string(milliseconds));
    for (unsigned waited = 0; waited < FPauseMilliseconds; waited += 50) {
      platform::SleepMilliseconds(50);
      Gaps.Round();
    }
    ++FStatement;
    Gaps.Phase(FStatement < 4 ? "statement " + std::to_string(FStatement + 1) : std::string("closing the connection"));
  }
  void Print(const char* kind, const std::string& text) {
    std::fprintf(ReportStream(), "%s %s\n", kind, OneLine(text).c_str());
    std::fflush(ReportStream());
  }

  TGapMeter Gaps;
  TSavedLog SavedLog;

 private:
  unsigned FPauseMilliseconds;
  int FStatement = 0;
};

// A stage that names the phase it runs in.
class TPhase : public TRepairStage {
 public:
  TPhase(TRepairStage& stage, TGapMeter& gaps, std::string name) : FStage(stage), FGaps(gaps), FName(std::move(name)) {}
  void Run(const TInstallPaths& paths) override {
    FGaps.Phase(FName);
    FStage.Run(paths);
  }
  std::vector<std::string> IndexesLeftOff() const override { return FStage.IndexesLeftOff(); }

 private:
  TRepairStage& FStage;
  TGapMeter& FGaps;
  std::string FName;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [--pause-ms N] [--gaps]\n", argv[0]);
    return 2;
  }
  platform::SelectUtf8Locale();
  platform::UseEmptyStandardInput();
  platform::GiveUpControllingTerminal();
  unsigned pause = 0;
  bool gaps = false;
  TToolLimits limits;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--pause-ms") == 0 && i + 1 < argc) pause = static_cast<unsigned>(std::atoi(argv[++i]));
    if (std::strcmp(argv[i], "--gaps") == 0) gaps = true;
    if (std::strcmp(argv[i], "--tool-seconds") == 0 && i + 1 < argc) {
      limits.BaseSeconds = static_cast<std::uint64_t>(std::atoi(argv[++i]));
      limits.SecondsPerMegabyte = 0;
    }
  }
  TPrintingHost host(pause);
  const std::string programFolder = PROGRAM_FOLDER "/";

  TRepairParts parts(host, programFolder);
  parts.SetToolLimits(limits);
  TPhase dataPhase(parts.DataStage(), host.Gaps, "statement 1");
  TPhase rebuildPhase(parts.RebuildStage(), host.Gaps, "gbak and restore");
  TRepairProcedure procedure(host, &dataPhase, &rebuildPhase, &host.SavedLog, &parts.RowCounter());
  procedure.ToolLimits = limits;
  const TRepairOutcome outcome = procedure.Run(argv[1]);
  host.Gaps.Phase("end");
  if (gaps) host.Gaps.Print();
  std::fprintf(ReportStream(), "OUTCOME %d\n", static_cast<int>(outcome));
  std::fprintf(ReportStream(), "END\n");
  std::fflush(ReportStream());
  return 0;
}
