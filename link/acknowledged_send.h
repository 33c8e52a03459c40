#pragma once
// Sending one packet until the camera acknowledges it: the common core of
// the action and write exchanges.
#include <cstdint>
#include <span>

#include "link/camera_link.h"

namespace pelox {

struct AckPolicy {
  int32_t ack_attempts = 1;  // control-byte reads per try
  bool gone_check_each_try = false;
  uint32_t frame = 0;  // the frame's number in its write, for the link's events
};

// LINK_OK once acknowledged; LINK_ERROR_TRANSPORT or LINK_ERROR_CAMERA_GONE
// at once; LINK_ERROR_NO_ANSWER when the link's wait deadline (or stall
// bound) leaves no time for a try; LINK_ERROR_SEND when every try went
// unacknowledged.
int32_t SendUntilAcked(std::span<const uint8_t> packet, const AckPolicy& policy, CameraLink* link);

}  // namespace pelox
