#pragma once
/// @file
/// What the link goes through on its way that a front end may tell its
/// user: frames sent again, waits for an answer, reconnections, the bytes
/// the camera has taken, and each frame for a support trace. Kept apart from
/// the record so that an observer needs none of the link's workings.
#include <cstdint>
#include <span>

#include "platform/export.h"

namespace pelox {

enum class LinkEventKind : uint8_t {
  FRAME_SENT_AGAIN,    ///< a frame went unacknowledged and is sent again
  STILL_WAITING,       ///< no acknowledgement yet; the link reads again
  RECONNECTING,        ///< the camera went away; the link connects again
  BYTES_ACKNOWLEDGED,  ///< the camera acknowledged a frame of a write
  FRAME_SENT,          ///< a whole frame left for the camera
  FRAME_RECEIVED,      ///< a whole frame came from the camera
};

struct LinkEvent {
  LinkEventKind kind = LinkEventKind::FRAME_SENT;
  int32_t try_number = 0;           ///< the try or read about to start, counted from 1
  int32_t tries = 0;                ///< the most there will be
  uint32_t frame = 0;               ///< the frame of the write, its command frame being 1
  bool nak = false;                 ///< the camera answered NAK rather than nothing
  uint32_t silent_ms = 0;           ///< how long the camera has said nothing
  uint64_t bytes = 0;               ///< BYTES_ACKNOWLEDGED: of the data, so far
  uint64_t total = 0;               ///< BYTES_ACKNOWLEDGED: the whole data
  std::span<const uint8_t> packet;  ///< FRAME_*: only valid during the call
};

/// An event of `kind` about a try, a read or a reconnection.
inline LinkEvent TryEvent(LinkEventKind kind, int32_t try_number, int32_t tries,
                          uint32_t silent_ms = 0) {
  LinkEvent event;
  event.kind = kind;
  event.try_number = try_number;
  event.tries = tries;
  event.silent_ms = silent_ms;
  return event;
}

/// Called on the thread that runs the link's call; it must not block for
/// long nor call the link.
using LinkEventCallback = void (*)(void* user, const LinkEvent& event);

}  // namespace pelox
