#pragma once
// Steps that many commands share: the restart of a multi-step command after
// the link was re-established, and the selections that come first.
#include <concepts>
#include <cstdint>

#include "link/camera_link.h"

namespace pelox {

// Runs the steps again from the first while one of them reports a restart.
template <std::invocable Steps>
int32_t RepeatOnRestart(Steps&& steps) {
  int32_t result = steps();
  while (result == LINK_RESTART) result = steps();
  return result;
}

// Selects an object or entry; true when the camera took it.
inline bool Select(uint8_t property_id, uint32_t value, CameraLink* link) {
  return LinkSetValue(property_id, value, link) == LINK_OK;
}

// What a selecting command returns when its selection fails.
inline constexpr int32_t SELECTION_FAILED = -1;

}  // namespace pelox
