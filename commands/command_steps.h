#pragma once
// Steps that many commands share: the restart of a multi-step command after
// the link was re-established, and the selections that come first.
#include <concepts>
#include <cstddef>
#include <cstdint>

#include "link/camera_link.h"
#include "link/error_record.h"

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

// Checks an object size the camera gave (the result of an abortable get)
// before reading that much into a buffer of the given capacity: LINK_OK when it can
// be read, else LINK_RESTART, LINK_ERROR_EMPTY_OBJECT, the failed get's
// code, or LINK_ERROR_UNEXPECTED for a size the buffer cannot hold.
inline int32_t CheckObjectSize(int32_t size, size_t capacity, CameraLink* link) {
  if (size == LINK_RESTART) return LINK_RESTART;
  if (size == 0) return LinkSetError(LINK_ERROR_EMPTY_OBJECT, link);
  if (size < 0) return LinkLastError(link);
  if (static_cast<uint32_t>(size) > capacity) return LinkSetError(LINK_ERROR_UNEXPECTED, link);
  return LINK_OK;
}

}  // namespace pelox
