#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

#include "platform/event.h"

namespace pelox {

struct PlatformEvent {
  std::mutex mutex;
  std::condition_variable changed;
  bool signalled = false;
};

EventHandle EventCreate() { return new (std::nothrow) PlatformEvent; }

bool EventSignal(EventHandle event) {
  if (event == nullptr) return false;
  {
    std::lock_guard lock(event->mutex);
    event->signalled = true;
  }
  event->changed.notify_one();
  return true;
}

bool EventWait(EventHandle event, uint32_t milliseconds) {
  if (event == nullptr) return false;
  std::unique_lock lock(event->mutex);
  if (!event->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                               [event] { return event->signalled; })) {
    return false;
  }
  event->signalled = false;  // auto-reset
  return true;
}

bool EventClose(EventHandle event) {
  if (event == nullptr) return false;
  delete event;
  return true;
}

}  // namespace pelox
