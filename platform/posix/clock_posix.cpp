#include <ctime>

#include "platform/clock.h"

namespace pelox {
namespace {

timespec Now(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return now;
}

}  // namespace

uint32_t ClockTickCount() {
  const timespec now = Now(CLOCK_MONOTONIC);
  const uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void ClockSleep(uint32_t milliseconds) {
  timespec rest{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0) {
  }
}

int64_t ClockCalendarSeconds() { return static_cast<int64_t>(Now(CLOCK_REALTIME).tv_sec); }

}  // namespace pelox
