#include "sim/virtual_clock.h"

#include <atomic>

#include "platform/clock.h"

namespace pelox {
namespace {

std::atomic<uint64_t> virtual_now_ms{0};
// Calendar time of virtual time 0: 2001-09-09 01:46:40 UTC.
constexpr int64_t CALENDAR_EPOCH_SECONDS = 1000000000;

}  // namespace

namespace sim {

uint64_t VirtualNowMs() { return virtual_now_ms.load(); }
void VirtualAdvanceMs(uint64_t milliseconds) { virtual_now_ms.fetch_add(milliseconds); }
void VirtualClockReset(uint64_t start_ms) { virtual_now_ms.store(start_ms); }

}  // namespace sim

uint32_t ClockTickCount() { return static_cast<uint32_t>(virtual_now_ms.load()); }
void ClockSleep(uint32_t milliseconds) { virtual_now_ms.fetch_add(milliseconds); }
int64_t ClockCalendarSeconds() {
  return CALENDAR_EPOCH_SECONDS + static_cast<int64_t>(virtual_now_ms.load() / 1000);
}

}  // namespace pelox
