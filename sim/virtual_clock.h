#pragma once
// Virtual time for tests and benchmarks: the clock functions of the platform
// boundary run on it, and sleeping advances it at once.
#include <cstdint>

namespace pelox::sim {

uint64_t VirtualNowMs();
void VirtualAdvanceMs(uint64_t milliseconds);
// Sets the virtual time to `start_ms` (the tick count starts there too).
void VirtualClockReset(uint64_t start_ms = 0);

}  // namespace pelox::sim
