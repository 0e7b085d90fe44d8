// Blocking pauses of the calling thread.
#pragma once

namespace platform {

void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform
