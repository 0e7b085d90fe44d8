// The host of a run without a window: log lines on the standard output,
// each box's text on the standard error, no question asked, the pauses
// slept through; every line and box also into the run's saved log.
#pragma once

#include <cstdio>
#include <string>

#include "repair/RepairHost.h"
#include "repair/SavedLog.h"

class TConsoleHost : public TRepairHost {
 public:
  explicit TConsoleHost(TSavedLog& savedLog);

  void AddLog(const std::string& text) override;
  void ProcessEvents() override {}
  void ShowMessage(const std::string& text) override;
  void FocusFolderBox() override {}
  void Pause(unsigned milliseconds) override;

 private:
  TSavedLog& FSavedLog;
  std::FILE* FOut;
  std::FILE* FErr;
};
