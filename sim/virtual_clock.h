#pragma once
// Virtual time for tests and benchmarks: the clock functions of the platform
// boundary run on it, and sleeping advances it at once.
#include <atomic>
#include <cstdint>

namespace pelox::sim {

uint64_t VirtualNowMs();
void VirtualAdvanceMs(uint64_t milliseconds);
// Sets the virtual time to `start_ms` (the tick count starts there too) and
// clears the alarm.
void VirtualClockReset(uint64_t start_ms = 0);
// Sets `*flag` to 1 once virtual time reaches `at_ms`, as a signal handler
// or another thread would at that moment; one alarm at a time, null clears it.
void VirtualRaiseAt(uint64_t at_ms, std::atomic<int>* flag);

}  // namespace pelox::sim
