// The event handle is the system's own event, so that it can be placed in an
// ASPI request as its completion notice.
#include <windows.h>

#include "platform/event.h"

namespace pelox {
namespace {

HANDLE Native(EventHandle event) { return reinterpret_cast<HANDLE>(event); }

}  // namespace

EventHandle EventCreate() {
  return reinterpret_cast<EventHandle>(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

bool EventSignal(EventHandle event) { return SetEvent(Native(event)) != 0; }

bool EventWait(EventHandle event, uint32_t milliseconds) {
  return WaitForSingleObject(Native(event), milliseconds) == WAIT_OBJECT_0;
}

bool EventClose(EventHandle event) { return CloseHandle(Native(event)) != 0; }

}  // namespace pelox
