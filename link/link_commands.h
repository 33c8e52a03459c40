#pragma once
// What the command set changes of a link's state beyond its packets: the
// current-object mode, the receive sequence and a probe's raw port. Inside
// the library only.
#include <cstdint>

#include "link/camera_link.h"
#include "platform/devices.h"

namespace pelox {

void LinkSetObjectMode(int32_t mode, CameraLink* link);
// The camera numbers the next data frame from 0 again.
void LinkRestartRxSequence(CameraLink* link);
// For a port the command set opened or closed itself.
void LinkSetState(int32_t state, CameraLink* link);
SerialHandle LinkComHandle(const CameraLink* link);

}  // namespace pelox
