#pragma once
/// @file
/// What the camera's usage table tells.
#include <cstdint>

#include "link/camera_link.h"
#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

/// The camera's running time in whole hours, rounded to the nearest, apart
/// from the code: LINK_OK with `hours` set, the table read's code, or
/// LINK_ERROR_UNEXPECTED when the table holds no running-time entry.
[[nodiscard]] LinkError CameraGetRunningHoursChecked(uint32_t& hours, CameraLink* link);
/// The hours, or -1 when the table cannot be read or holds no running-time
/// entry.
[[deprecated("a failure leaves no code: use CameraGetRunningHoursChecked")]] int32_t
CameraGetRunningHours(CameraLink* link);

}  // namespace pelox
PELOX_API_END
