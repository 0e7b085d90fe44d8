#include "platform/Signals.h"

#include <atomic>
#include <windows.h>

namespace platform {
namespace {

std::atomic<bool> requested{false};

// Ctrl+C and Ctrl+Break in the console that started a run without a window.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  requested = true;
  return TRUE;
}

}  // namespace

// The window closes through its own messages on Windows; no descriptor is
// watched. A run without a window hears the console's Ctrl+C.
void CatchTerminationRequests() { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

int TerminationRequestDescriptor() { return -1; }

void DrainTerminationRequests() { requested = false; }

bool TakeTerminationRequests() { return requested.exchange(false); }

}  // namespace platform
