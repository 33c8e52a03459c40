#include "sim/virtual_clock.h"

#include <atomic>

#include "platform/clock.h"

namespace pelox {
namespace {

std::atomic<uint64_t> virtual_now_ms{0};
// Calendar time of virtual time 0: 2001-09-09 01:46:40 UTC.
constexpr int64_t CALENDAR_EPOCH_SECONDS = 1000000000;

std::atomic<std::atomic<int>*> alarm_flag{nullptr};
std::atomic<uint64_t> alarm_at_ms{0};

void Advance(uint64_t milliseconds) {
  const uint64_t now = virtual_now_ms.fetch_add(milliseconds) + milliseconds;
  if (now >= alarm_at_ms.load()) {
    if (std::atomic<int>* flag = alarm_flag.exchange(nullptr)) flag->store(1);
  }
}

}  // namespace

namespace sim {

uint64_t VirtualNowMs() { return virtual_now_ms.load(); }
void VirtualAdvanceMs(uint64_t milliseconds) { Advance(milliseconds); }
void VirtualClockReset(uint64_t start_ms) {
  alarm_flag = nullptr;
  virtual_now_ms.store(start_ms);
}
void VirtualRaiseAt(uint64_t at_ms, std::atomic<int>* flag) {
  alarm_at_ms = at_ms;
  alarm_flag = flag;
}

}  // namespace sim

uint32_t ClockTickCount() { return static_cast<uint32_t>(virtual_now_ms.load()); }
void ClockSleep(uint32_t milliseconds) { Advance(milliseconds); }
int64_t ClockCalendarSeconds() {
  return CALENDAR_EPOCH_SECONDS + static_cast<int64_t>(virtual_now_ms.load() / 1000);
}

}  // namespace pelox
