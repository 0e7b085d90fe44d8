#include "repair/PhaseTimes.h"

#include "platform/Clock.h"

TPhaseTimes& TPhaseTimes::OfThisRun() {
  static TPhaseTimes times;
  return times;
}

std::string TPhaseTimes::Name(TPhase phase) {
  static const char* const names[] = {"safety copy", "checksums", "marker writes", "row counts", "gfix",
                                      "statements", "change report", "pauses", "backup", "restore"};
  return names[static_cast<int>(phase)];
}

TTimedPhase::TTimedPhase(TPhase phase) : FPhase(phase), FStarted(platform::SteadyMilliseconds()) {}

TTimedPhase::~TTimedPhase() { TPhaseTimes::OfThisRun().Add(FPhase, platform::SteadyMilliseconds() - FStarted); }
