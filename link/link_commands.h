#pragma once
// What the command set changes of a link's state for a port it opens
// itself (the serial probe). Inside the library only.
#include <cstdint>

#include "link/camera_link.h"
#include "platform/devices.h"

namespace pelox {

// For a port the command set opened or closed itself.
void LinkSetState(int32_t state, CameraLink* link);
SerialHandle LinkComHandle(const CameraLink* link);

}  // namespace pelox
