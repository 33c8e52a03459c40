#pragma once
// What the camera's usage table tells.
#include <cstdint>

#include "link/camera_link.h"
#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

// The camera's running time in whole hours, rounded to the nearest, or -1
// when the table cannot be read or holds no running-time entry.
int32_t CameraGetRunningHours(CameraLink* link);

}  // namespace pelox
PELOX_API_END
