#include "app/upload_worker.h"

#include <algorithm>

#include "app/dialog_ids.h"
#include "platform/clock.h"

namespace pelox {

namespace {

// Signed difference: the tick count may wrap meanwhile.
int32_t MsLeft(uint32_t deadline_ms) {
  return static_cast<int32_t>(deadline_ms - ClockTickCount());
}

}  // namespace

bool WaitForCameraReady(const std::function<bool()>& camera_ready, uint32_t deadline_ms,
                        const std::atomic<bool>& stop) {
  for (;;) {
    const int32_t left = MsLeft(deadline_ms);
    if (stop || left <= 0) return false;
    ClockSleep(std::min(UPLOAD_POLL_MS, static_cast<uint32_t>(left)));
    if (stop || MsLeft(deadline_ms) <= 0) return false;
    if (camera_ready()) return true;
  }
}

void AnimateProgress(DialogView& view, std::atomic<int32_t>& position,
                     const std::atomic<bool>& stop) {
  while (!stop) {
    view.SetProgress(position ^= PROGRESS_FULL);
    ClockSleep(UPLOAD_POLL_MS);
  }
}

}  // namespace pelox
