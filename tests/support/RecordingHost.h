// A repair host without a window: it records what the procedure reports.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "repair/RepairHost.h"

class TRecordingHost : public TRepairHost {
 public:
  void AddLog(const std::string& text) override {
    Log.push_back(text);
    ++LinesLogged;
  }
  void ProcessEvents() override { ++EventRounds; }
  void ShowMessage(const std::string& text) override { Messages.push_back(text); }
  void FocusFolderBox() override { ++FocusMoves; }
  void Pause(unsigned milliseconds) override { Pauses.push_back(milliseconds); }

  std::vector<std::string> Log;
  std::atomic<std::size_t> LinesLogged{0};  // for another thread that waits for a line
  std::vector<std::string> Messages;
  std::vector<unsigned> Pauses;
  int EventRounds = 0;
  int FocusMoves = 0;
};
