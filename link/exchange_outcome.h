#pragma once
// How one step of a replied exchange ends: the exchange is over with a
// code, or the next step sends the request or receives again.
#include <cstdint>

#include "link/camera_link.h"

namespace pelox {

enum class Next { Finish, Receive, Send };

struct Outcome {
  Next next;
  int32_t code = LINK_OK;
};

// Spends one of the `credits` (at least one is left) on a NAK, after which
// the camera sends its reply again.
Outcome AskForTheReplyAgain(int32_t& credits, CameraLink* link);

}  // namespace pelox
