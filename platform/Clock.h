// Blocking pauses of the calling thread, and the clocks.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

void SleepMilliseconds(unsigned milliseconds);

// The local date and time as "YYYYMMDD_HHMMSS", for file names.
std::string LocalTimeStamp();

// A steady clock in milliseconds, for measuring stretches of time.
std::uint64_t SteadyMilliseconds();

}  // namespace platform
