// The host of a run without a window: log lines on the standard output,
// each box's text on the standard error, no question asked, the pauses
// slept through; every line and box also into the run's saved log. Ctrl+C
// and SIGTERM ask the repair to stop, as the window's Cancel does.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "repair/RepairHost.h"
#include "repair/SavedLog.h"

class TConsoleHost : public TRepairHost {
 public:
  explicit TConsoleHost(TSavedLog& savedLog);

  void AddLog(const std::string& text) override;
  void ProcessEvents() override;
  void ShowMessage(const std::string& text) override;
  void FocusFolderBox() override {}
  void Pause(unsigned milliseconds) override;
  bool StopRequested() const override;

 private:
  mutable std::atomic<bool> FStopRequested{false};
  TSavedLog& FSavedLog;
  std::FILE* FOut;
  std::FILE* FErr;
};
