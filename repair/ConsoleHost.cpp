#include "repair/ConsoleHost.h"

#include "platform/Clock.h"
#include "platform/Process.h"

namespace {

// A box's lines are separated by CR, which a terminal would draw over.
std::string AsTerminalLines(std::string text) {
  for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;) text.erase(at, 1);
  for (char& c : text)
    if (c == '\r') c = '\n';
  return text;
}

}  // namespace

// The copies of the streams are taken now: the restore catches the standard
// output itself while it runs.
TConsoleHost::TConsoleHost(TSavedLog& savedLog)
    : FSavedLog(savedLog), FOut(platform::KeptStandardOutput()), FErr(platform::KeptStandardError()) {}

void TConsoleHost::AddLog(const std::string& text) {
  FSavedLog.Write(text);
  std::fprintf(FOut, "%s\n", AsTerminalLines(text).c_str());
  std::fflush(FOut);
}

void TConsoleHost::ShowMessage(const std::string& text) {
  FSavedLog.WriteBox(text);
  std::fprintf(FErr, "%s\n", AsTerminalLines(text).c_str());
  std::fflush(FErr);
}

void TConsoleHost::Pause(unsigned milliseconds) { platform::SleepMilliseconds(milliseconds); }
