#pragma once
// The camera's own value ranges, kept apart from the host's table so that a
// wrong row on either side shows as a disagreement instead of being copied.
#include <cstdint>

namespace pelox::sim {

// Property ids and data kinds run from 0 to this.
inline constexpr uint8_t CAMERA_HIGHEST_ID = 137;

struct CameraRange {
  uint32_t minimum;
  uint32_t maximum;
};

// The row of a property id: [0, 0] for any id the camera lists no range for.
CameraRange CameraPropertyRange(uint8_t id);
bool CameraAcceptsValue(uint8_t id, uint32_t value);

}  // namespace pelox::sim
