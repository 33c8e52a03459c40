#pragma once
// Time as the library sees it. The products link the real clock; tests and
// benchmarks link the virtual clock, where sleeping advances time at once.
#include <cstdint>

namespace pelox {

// Milliseconds since an arbitrary start, wrapping, with 1 ms resolution.
uint32_t ClockTickCount();

// Suspends the calling thread for at least the given milliseconds.
void ClockSleep(uint32_t milliseconds);

// Seconds since 1970-01-01 UTC.
int64_t ClockCalendarSeconds();

}  // namespace pelox
