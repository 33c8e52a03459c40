#include "app/upload_worker.h"

#include "app/dialog_ids.h"
#include "platform/clock.h"

namespace pelox {

bool WaitForCameraReady(const std::function<bool()>& camera_ready, uint32_t started_ms,
                        const std::atomic<bool>& stop) {
  for (;;) {
    ClockSleep(UPLOAD_POLL_MS);
    // Unsigned difference: the tick count may wrap meanwhile.
    if (stop || ClockTickCount() - started_ms >= CAMERA_WRITE_WAIT_MS) return false;
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
