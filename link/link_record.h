#pragma once
// The camera link's record: the link's protocol state on top of the port
// state the transport keeps. Only the library (and tests that must look at
// a link's state) include it; programs hold a link by its pointer, so that
// the record may change without breaking them.
#include <atomic>
#include <cstdint>
#include <optional>

#include "link/camera_link.h"
#include "transport/port/port_state.h"

namespace pelox {

struct CameraLink : PortState {
  uint8_t link_id = 0;
  int32_t speed_index = 0;
  int32_t speed_checked = 0;
  uint32_t busy_deadline = 0;
  int32_t last_error = 0;
  int32_t retry_count = 0;
  // Waits between threads read these, so they are atomic.
  std::atomic<int32_t> state{LINK_STATE_CLOSED};
  std::atomic<int32_t> transfer_active{0};
  // What the last chunked read delivered, also when it ended short.
  uint32_t bytes_received = 0;
  int32_t control_sent = 0;
  uint8_t tx_seq = 0;
  uint8_t rx_seq = 0;
  std::atomic<int32_t> abort_requested{0};
  ProgressCallback progress_callback = nullptr;
  void* progress_user = nullptr;
  LinkEventCallback event_callback = nullptr;
  void* event_user = nullptr;
  // Set by the front end to cut the link's optional waits short.
  const std::atomic<int>* stop_flag = nullptr;
  ReconnectCheck reconnect_check = nullptr;
  void* reconnect_user = nullptr;
  bool checking_reconnection = false;
  // Each wait ends by the earliest of these (WaitDeadline): the caller's
  // deadline, the link's own bound on what it is doing, and, while
  // stall_bound_ms is not 0, that long after the last progress.
  std::optional<uint32_t> wait_deadline;
  std::optional<uint32_t> own_deadline;
  uint32_t stall_bound_ms = 0;
  uint32_t last_progress = 0;
  bool reply_time_reserved = false;  // LinkReserveReplyTime
  // Packets handed to the port, also those whose write failed: from its
  // first byte on, a packet may have reached the camera.
  uint32_t packets_sent = 0;
  // A reply was given up before it came in full: it may still arrive, and
  // must not be read as the next request's.
  bool reply_owed = false;
  CameraLink* prev = nullptr;
  CameraLink* next = nullptr;
  int32_t current_object_mode = 0;
};

}  // namespace pelox
