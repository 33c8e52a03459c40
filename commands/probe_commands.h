#pragma once
/// @file
/// Commands that work on the link's serial port directly, outside the packet
/// protocol, and the command set's small entry points.
#include <cstdint>

#include "link/camera_link.h"
#include "platform/devices.h"
#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

inline constexpr int32_t PROBE_OPEN = 0;
inline constexpr int32_t PROBE_CLOSE = 1;
inline constexpr int32_t PROBE_CHECK = 2;
/// The byte a listening camera answers on the serial line.
inline constexpr uint8_t PROBE_CAMERA_BYTE = 0x15;

/// PROBE_OPEN releases every link created by LinkCreate, then opens COM
/// `port` at 19200 bit/s on this link and discards pending input: LINK_OK, or
/// LINK_ERROR_NO_PORT when the port does not open. The link must therefore be
/// one the caller holds outside the links of LinkCreate (a CameraLink of its
/// own); a link of LinkCreate is refused with LINK_ERROR_INVALID_ARGUMENT and
/// nothing is released.
/// PROBE_CLOSE closes the port of a ready link: LINK_OK. PROBE_CHECK reads one
/// byte: LINK_ERROR_NAK when the camera's PROBE_CAMERA_BYTE arrived, else
/// LINK_OK. Other modes give LINK_ERROR_INVALID_ARGUMENT.
int32_t CameraProbeSerialLine(int32_t port, int32_t mode, CameraLink* link);
/// CameraProbeSerialLine telling the camera's answer apart from the code:
/// PROBE_CHECK gives LINK_OK and sets `camera_answered` when the
/// PROBE_CAMERA_BYTE arrived; the other modes leave it false.
int32_t CameraProbeSerialLineChecked(int32_t port, int32_t mode, bool& camera_answered,
                                     CameraLink* link);

/// Records success and returns LINK_OK; the arguments are not used.
int32_t CameraNoOperation(int32_t first, int32_t second, CameraLink* link);

/// The link's open serial device, or null.
SerialHandle CameraGetComHandle(const CameraLink* link);

}  // namespace pelox
PELOX_API_END
