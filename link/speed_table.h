#pragma once
/// @file
/// Serial speeds by speed index. Serial ports always open at 19200 bit/s and
/// switch to the table's speed after the handshake.
#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

inline constexpr uint32_t SERIAL_OPEN_BAUD = 19200;
inline constexpr int32_t SPEED_INDEX_FIRST = 1;
inline constexpr int32_t SPEED_INDEX_LAST = 6;
/// The speed a camera is updated at unless another is asked for.
inline constexpr int32_t SPEED_INDEX_USUAL = 5;
inline constexpr std::array<uint32_t, 7> SPEED_TABLE{19200, 9600,   19200, 38400,
                                                     57600, 115200, 230400};

/// Indices outside the table fall back to the opening speed.
constexpr uint32_t SpeedTableBaud(int32_t speed_index) {
  return speed_index >= 0 && speed_index < static_cast<int32_t>(SPEED_TABLE.size())
             ? SPEED_TABLE[static_cast<size_t>(speed_index)]
             : SERIAL_OPEN_BAUD;
}

}  // namespace pelox
PELOX_API_END
