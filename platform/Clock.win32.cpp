#include "platform/Clock.h"

#include <cstdio>
#include <windows.h>

namespace platform {

void SleepMilliseconds(unsigned milliseconds) { ::Sleep(milliseconds); }

std::string LocalTimeStamp() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u%02u%02u_%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
  return text;
}

std::int64_t NowSeconds() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

std::string LocalTimeText(std::int64_t seconds) {
  const std::uint64_t ticks = static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
  const FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  FILETIME local{};
  SYSTEMTIME when{};
  ::FileTimeToLocalFileTime(&utc, &local);
  ::FileTimeToSystemTime(&local, &when);
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u %02u/%02u/%04u", when.wHour, when.wMinute, when.wSecond, when.wDay,
                when.wMonth, when.wYear);
  return text;
}

std::uint64_t SteadyMilliseconds() { return ::GetTickCount64(); }

}  // namespace platform
