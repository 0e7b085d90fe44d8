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

std::uint64_t SteadyMilliseconds() { return ::GetTickCount64(); }

}  // namespace platform
