#pragma once
#include "link/camera_link.h"

namespace pelox {

inline constexpr int32_t HANDSHAKE_ROUNDS = 4;
inline constexpr int32_t COM_OPEN_TRIES = 3;
inline constexpr uint8_t SERIAL_BYTE_SIZE = 8;
inline constexpr uint32_t SERIAL_QUEUE_SIZE = 4096;

// Probes with 0x00 until the camera answers NAK; the rounds are counted in
// the link's retry_count. True when the camera answered.
bool SerialHandshake(CameraLink* link);

}  // namespace pelox
