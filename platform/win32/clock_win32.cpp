#include <windows.h>

#include <ctime>

#include "platform/clock.h"

namespace pelox {
namespace {

// GetTickCount follows the 15.6 ms scheduler tick; the performance counter
// gives the 1 ms resolution that the packet pauses rely on.
uint64_t CounterFrequency() {
  static const uint64_t frequency = [] {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return static_cast<uint64_t>(value.QuadPart);
  }();
  return frequency;
}

}  // namespace

uint32_t ClockTickCount() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  const uint64_t ticks = static_cast<uint64_t>(counter.QuadPart);
  const uint64_t frequency = CounterFrequency();
  return static_cast<uint32_t>((ticks / frequency) * 1000u +
                               (ticks % frequency) * 1000u / frequency);
}

void ClockSleep(uint32_t milliseconds) { Sleep(milliseconds); }

int64_t ClockCalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace pelox
