#pragma once
// The update's progress as numbers, for every front end to show its own way:
// the bytes the camera acknowledged and their share, the recent rate, the
// time left, how long the camera has been silent, the write wait and the
// bar. Fed in the order the view was told, in the caller's time; no text.
#include <cstdint>
#include <deque>
#include <utility>

#include "app/update_phase.h"

namespace pelox {

// The rate is measured over this recent stretch of the transfer.
inline constexpr uint64_t PROGRESS_RATE_WINDOW_MS = 5000;
// A transfer without an acknowledgement for this long is waiting for the camera.
inline constexpr uint64_t PROGRESS_STALL_MS = 2000;

class ProgressModel {
 public:
  void EnterPhase(const UpdateState& state, uint64_t now_ms);
  // The step machine's bar: it counts only during the transfer and never
  // goes back.
  void SetBar(int32_t percent);
  // The camera's count of the image's bytes; false when it tells nothing
  // new. After a reconnection the write starts over: the count is the camera's.
  bool Acknowledged(uint64_t bytes, uint64_t total, uint64_t now_ms);
  void SetImageSize(uint64_t size) { image_size_ = size; }

  UpdatePhase Phase() const { return phase_; }
  uint64_t Bytes() const { return bytes_; }
  uint64_t ImageSize() const { return image_size_; }
  // Of the bytes acknowledged.
  int32_t Percent() const { return percent_; }
  // Bytes a second over the recent window; 0 while unknown, as after a stall.
  double Rate() const;
  // At the recent rate; 0 while it is unknown.
  uint64_t SecondsLeft() const;
  // How long the camera has acknowledged nothing in the transfer, 0 while it does.
  uint64_t StallMs(uint64_t now_ms) const;
  uint64_t PhaseMs(uint64_t now_ms) const { return now_ms - phase_start_ms_; }
  // The bar to draw: the transfer's, or the write wait's share of its
  // limit; a finished update shows a full bar.
  int32_t BarPercent(uint64_t now_ms) const;

 private:
  UpdatePhase phase_ = UpdatePhase::SEARCHING;
  bool written_ = false;
  uint64_t phase_start_ms_ = 0;
  uint64_t image_size_ = 0;
  uint64_t bytes_ = 0;
  int32_t percent_ = 0;
  int32_t bar_percent_ = 0;
  uint64_t last_ack_ms_ = 0;
  std::deque<std::pair<uint64_t, uint64_t>> rate_samples_;  // (time, bytes)
};

}  // namespace pelox
