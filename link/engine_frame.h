#pragma once
// The frame every engine runs its exchange in: readiness first, then the
// exchange, reconnecting and repeating while the camera keeps going away.
#include <cstdint>
#include <functional>

#include "link/camera_link.h"

namespace pelox {

// Reconnections a single call makes at most, whatever the link's budget.
inline constexpr int32_t RECONNECT_BUDGET = 4;

struct TransactionKind {
  bool clears_abort = false;  // the call starts a fresh abortable sequence
  bool abortable = false;     // a reconnection meanwhile ends the call with LINK_RESTART
  bool once = false;          // an exchange that may have sent its packet is not run again
};

// Returns the recorded code of the exchange, or LINK_RESTART unrecorded.
int32_t RunTransaction(const TransactionKind& kind, const std::function<int32_t()>& exchange,
                       CameraLink* link);

}  // namespace pelox
