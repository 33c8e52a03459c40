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
  // A command that must not run twice: once it may have reached the camera
  // it is sent again only on the camera's NAK (ReadOnceAnswer reads it).
  bool once = false;
};

// The code a try ends with for the camera's `answer` to a packet (a
// control byte, CONTROL_NOTHING or the port's result); camera gone also
// marks the link.
int32_t ControlAnswerCode(int32_t answer, CameraLink* link);

// LINK_OK once acknowledged; LINK_ERROR_TRANSPORT or LINK_ERROR_CAMERA_GONE
// at once; LINK_ERROR_NO_ANSWER when the link's wait deadline (or stall
// bound) leaves no time for a try; LINK_ERROR_SEND when every try went
// unacknowledged. With `once`, a try not answered with NAK ends the send
// with the answer's code, and LINK_ERROR_NAK tells that the camera refused
// every copy: it did not take the packet.
int32_t SendUntilAcked(std::span<const uint8_t> packet, const AckPolicy& policy, CameraLink* link);

// The action exchange for an action that must not run twice (AckPolicy's
// `once`).
int32_t ExchangeActionOnce(uint8_t action, uint8_t argument, CameraLink* link);

}  // namespace pelox
