// Events in virtual time: a wait that is not signalled lets its whole time
// pass at once.
#include <atomic>
#include <new>

#include "platform/event.h"
#include "sim/virtual_clock.h"

namespace pelox {

struct PlatformEvent {
  std::atomic<bool> signalled{false};
};

EventHandle EventCreate() { return new (std::nothrow) PlatformEvent; }

bool EventSignal(EventHandle event) {
  if (event == nullptr) return false;
  event->signalled.store(true);
  return true;
}

bool EventWait(EventHandle event, uint32_t milliseconds) {
  if (event == nullptr) return false;
  if (event->signalled.exchange(false)) return true;
  sim::VirtualAdvanceMs(milliseconds);
  return false;
}

bool EventClose(EventHandle event) {
  if (event == nullptr) return false;
  delete event;
  return true;
}

}  // namespace pelox
