#include "app/session/progress_model.h"

#include <algorithm>

#include "app/upload_worker.h"

namespace pelox {
namespace {

constexpr int32_t PERCENT_FULL = 100;
constexpr double MS_PER_SECOND = 1000.0;

}  // namespace

void ProgressModel::EnterPhase(const UpdateState& state, uint64_t now_ms) {
  written_ = state.cause == RunCause::WRITTEN;
  if (state.phase == phase_) return;
  phase_ = state.phase;
  phase_start_ms_ = now_ms;
  rate_samples_ = {{now_ms, 0}};
}

void ProgressModel::SetBar(int32_t percent) {
  if (phase_ == UpdatePhase::TRANSFERRING && percent > bar_percent_) {
    bar_percent_ = std::min(percent, PERCENT_FULL);
  }
}

bool ProgressModel::Acknowledged(uint64_t bytes, uint64_t total, uint64_t now_ms) {
  if (phase_ != UpdatePhase::TRANSFERRING || bytes == bytes_ || total == 0) return false;
  if (bytes < bytes_) rate_samples_.clear();
  if (image_size_ == 0) image_size_ = total;
  bytes_ = bytes;
  percent_ = static_cast<int32_t>(std::min<uint64_t>(bytes * PERCENT_FULL / total, PERCENT_FULL));
  last_ack_ms_ = now_ms;
  rate_samples_.emplace_back(now_ms, bytes);
  while (now_ms - rate_samples_.front().first > PROGRESS_RATE_WINDOW_MS) rate_samples_.pop_front();
  return true;
}

double ProgressModel::Rate() const {
  // Unknown until the window holds two counts, as after a stall.
  if (rate_samples_.size() < 2) return 0.0;
  const auto [first_ms, first_bytes] = rate_samples_.front();
  const auto [last_ms, last_bytes] = rate_samples_.back();
  if (last_ms == first_ms) return 0.0;
  return static_cast<double>(last_bytes - first_bytes) * MS_PER_SECOND /
         static_cast<double>(last_ms - first_ms);
}

uint64_t ProgressModel::SecondsLeft() const {
  const double rate = Rate();
  if (rate <= 0.0) return 0;
  return static_cast<uint64_t>(static_cast<double>(image_size_ - bytes_) / rate);
}

uint64_t ProgressModel::StallMs(uint64_t now_ms) const {
  if (phase_ != UpdatePhase::TRANSFERRING) return 0;
  const uint64_t since_ms = now_ms - std::max(last_ack_ms_, phase_start_ms_);
  return since_ms >= PROGRESS_STALL_MS ? since_ms : 0;
}

int32_t ProgressModel::BarPercent(uint64_t now_ms) const {
  switch (phase_) {
    case UpdatePhase::TRANSFERRING: return bar_percent_;
    case UpdatePhase::WRITING:
      return static_cast<int32_t>(
          std::min<uint64_t>(PhaseMs(now_ms) * PERCENT_FULL / CAMERA_WRITE_WAIT_MS, PERCENT_FULL));
    case UpdatePhase::ENDED: return written_ ? PERCENT_FULL : 0;
    default: return 0;
  }
}

}  // namespace pelox
