#pragma once
#include "link/camera_link.h"

namespace pelox {

inline constexpr int32_t HANDSHAKE_ROUNDS = 4;
inline constexpr int32_t COM_OPEN_TRIES = 3;
inline constexpr uint8_t SERIAL_BYTE_SIZE = 8;
inline constexpr uint32_t SERIAL_QUEUE_SIZE = 4096;

// Probes with 0x00 at the opening speed until the camera answers NAK, the
// rounds counted in the link's retry_count; without an answer, probes once
// at each other speed of the table. True when the camera answered; the port
// is then at the speed it answered at. The link's stop flag ends the search.
bool SerialHandshake(CameraLink* link);

}  // namespace pelox
