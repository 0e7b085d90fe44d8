#include "repair/ConsoleHost.h"

#include "platform/Clock.h"
#include "platform/Process.h"
#include "platform/Signals.h"
#include "repair/LogLines.h"

namespace {

// One line of the text a line of the stream: a box's lines are separated by
// CR, which a terminal would draw over.
void PrintLines(std::FILE* stream, const std::string& text) {
  for (const auto& line : LogLines(text)) std::fprintf(stream, "%s\n", line.c_str());
  std::fflush(stream);
}

}  // namespace

// The copies of the streams are taken now: the restore catches the standard
// output itself while it runs.
TConsoleHost::TConsoleHost(TSavedLog& savedLog)
    : FSavedLog(savedLog), FOut(platform::KeptStandardOutput()), FErr(platform::KeptStandardError()) {
  platform::CatchTerminationRequests();
}

// The embedded engine installs its own signal handlers when it loads; each
// round takes the termination requests back.
void TConsoleHost::ProcessEvents() { platform::CatchTerminationRequests(); }

bool TConsoleHost::StopRequested() const {
  if (!FStopRequested && platform::TakeTerminationRequests()) FStopRequested = true;
  return FStopRequested;
}

void TConsoleHost::AddLog(const std::string& text) {
  ProcessEvents();
  FSavedLog.Write(text);
  PrintLines(FOut, text);
}

void TConsoleHost::ShowMessage(const std::string& text) {
  FSavedLog.WriteBox(text);
  PrintLines(FErr, text);
}

void TConsoleHost::Pause(unsigned milliseconds) {
  ProcessEvents();
  platform::SleepMilliseconds(milliseconds);
}
