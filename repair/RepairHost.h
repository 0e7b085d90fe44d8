// What the repair procedure needs of the window it runs in. The window
// implements it; tests implement it without any window.
#pragma once

#include <string>

class TRepairHost {
 public:
  virtual ~TRepairHost() = default;

  // Appends one line (or several, at embedded line breaks) to the log, then
  // lets the window process its pending events.
  virtual void AddLog(const std::string& text) = 0;
  virtual void ProcessEvents() = 0;
  // A modal message box with one OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  virtual void FocusFolderBox() = 0;
  // A blocking pause; no events are processed while it lasts.
  virtual void Pause(unsigned milliseconds) = 0;
  // True once the operator has asked for the running repair to stop; it may
  // be asked from any thread.
  virtual bool StopRequested() const { return false; }
};
