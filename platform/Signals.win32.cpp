#include "platform/Signals.h"

namespace platform {

// The window closes through its own messages on Windows; no descriptor is watched.
void CatchTerminationRequests() {}

int TerminationRequestDescriptor() { return -1; }

void DrainTerminationRequests() {}

}  // namespace platform
