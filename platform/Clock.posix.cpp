#include "platform/Clock.h"

#include <cerrno>
#include <ctime>

namespace platform {

void SleepMilliseconds(unsigned milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

std::string LocalTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &local);
  return text;
}

std::string LocalTimeText(std::int64_t seconds) {
  const std::time_t when = static_cast<std::time_t>(seconds);
  std::tm local{};
  ::localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, "%H:%M:%S %d/%m/%Y", &local);
  return text;
}

std::int64_t NowSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::uint64_t SteadyMilliseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec / 1000000L);
}

}  // namespace platform
