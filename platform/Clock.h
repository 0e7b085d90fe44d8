// Blocking pauses of the calling thread, and the clocks.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

void SleepMilliseconds(unsigned milliseconds);

// The local date and time as "YYYYMMDD_HHMMSS", for file names.
std::string LocalTimeStamp();

// A time in seconds since 1970 (UTC) as the local "HH:MM:SS DD/MM/YYYY",
// for the operator.
std::string LocalTimeText(std::int64_t seconds);

// This computer's clock, in seconds since 1970 (UTC).
std::int64_t NowSeconds();

// A steady clock in milliseconds, for measuring stretches of time.
std::uint64_t SteadyMilliseconds();

}  // namespace platform
