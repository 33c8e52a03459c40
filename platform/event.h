#pragma once
// Auto-reset events: ASPI signals command completion through one.
#include <cstdint>

#include "platform/devices.h"

namespace pelox {

// Auto-reset, initially not signalled, unnamed; null on failure.
EventHandle EventCreate();
bool EventSignal(EventHandle event);
// True when signalled within the time; the wait consumes the signal.
bool EventWait(EventHandle event, uint32_t milliseconds);
bool EventClose(EventHandle event);

}  // namespace pelox
