#include "app/upload_worker.h"

#include <algorithm>

#include "app/dialog_ids.h"
#include "link/link_info.h"
#include "platform/clock.h"

namespace pelox {

namespace {

constexpr uint32_t CAMERA_READY = 1;

// Signed difference: the tick count may wrap meanwhile.
int32_t MsLeft(uint32_t deadline_ms) {
  return static_cast<int32_t>(deadline_ms - ClockTickCount());
}

}  // namespace

bool CameraConfirmedTheWrite(const WriteWitness& witness, bool link_lost) {
  return witness.acknowledged && witness.end_heard && !link_lost;
}

FlashLook LookAtWritingCamera(WriteWitness& witness, CameraLink* link) {
  const bool busy = LinkCurrentState(link) == LINK_STATE_BUSY;
  // An error byte ending the write is the camera's verdict, not the end of
  // its busy time: it is never followed by a look at its readiness.
  switch (LinkPollAction(link)) {
    case ActionState::CAMERA_ERROR: return FlashLook::FAILED;
    case ActionState::RUNNING: return FlashLook::WRITING;
    case ActionState::ENDED: break;
  }
  // Only the end byte turns a busy link ready at once: silence breaks it
  // (a serial link then reconnects, which the caller counts as a lost
  // link), and 0xFF marks the camera gone.
  if (busy && LinkCurrentState(link) == LINK_STATE_READY) witness.end_heard = true;
  uint32_t ready = 0;
  return LinkGetValueChecked(PROPERTY_READY, false, ready, link) == LINK_OK && ready == CAMERA_READY
             ? FlashLook::READY
             : FlashLook::WRITING;
}

FlashLook WaitForCameraReady(const std::function<FlashLook()>& look, uint32_t deadline_ms,
                             const std::atomic<bool>& stop) {
  for (;;) {
    const int32_t left = MsLeft(deadline_ms);
    if (stop || left <= 0) return FlashLook::WRITING;
    ClockSleep(std::min(UPLOAD_POLL_MS, static_cast<uint32_t>(left)));
    if (stop || MsLeft(deadline_ms) <= 0) return FlashLook::WRITING;
    const FlashLook found = look();
    if (found != FlashLook::WRITING) return found;
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
