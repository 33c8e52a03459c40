// Link states and error codes: recording outcomes, readiness before a
// transaction, and the wait for a camera that is busy with an action.
#include <algorithm>

#include "link/camera_link.h"
#include "link/error_record.h"
#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"
#include "platform/clock.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

constexpr uint32_t IN_TRANSACTION_WAIT_MS = 50;
constexpr uint32_t CAMERA_READY = 1;

// States that a recorded code may move; a busy link stays busy on a
// time-out, so that the wait for the end of the action goes on.
bool StateFollowsCode(int32_t state, int32_t code) {
  switch (state) {
    case LINK_STATE_READY:
    case LINK_STATE_BROKEN:
    case LINK_STATE_IN_TRANSACTION: return true;
    case LINK_STATE_BUSY: return code != LINK_ERROR_NO_ANSWER && code != LINK_ERROR_STOPPED;
    default: return false;
  }
}

int32_t StateForCode(int32_t code) {
  if (code == LINK_OK) return LINK_STATE_READY;
  if (code == LINK_ERROR_CAMERA_GONE) return LINK_STATE_CAMERA_GONE;
  return LINK_STATE_BROKEN;
}

// Wrap-safe: the tick count wraps every 49.7 days.
bool TickPassed(uint32_t deadline) { return static_cast<int32_t>(ClockTickCount() - deadline) > 0; }

// One look at a busy link: what the camera said of its action, or nothing
// when it said nothing (the link stays busy).
std::optional<ActionState> ReadActionState(CameraLink* link) {
  if (link == nullptr || link->state != LINK_STATE_BUSY) return ActionState::ENDED;
  const int32_t answer = ReadActionEnd(link);
  if (answer == CONTROL_ACTION_DONE) {
    link->state = LINK_STATE_READY;
    return ActionState::ENDED;
  }
  if (answer == CONTROL_ERROR || answer == CONTROL_READ_FAILED) {
    link->state = LINK_STATE_READY;
    LinkSetError(LINK_ERROR_CAMERA_ERROR, link);
    return answer == CONTROL_ERROR ? ActionState::CAMERA_ERROR : ActionState::RUNNING;
  }
  if (answer == CONTROL_GONE) {
    link->state = LINK_STATE_CAMERA_GONE;
    return ActionState::ENDED;
  }
  return std::nullopt;
}

// A busy camera that stays silent is given up on: the next transaction
// connects afresh (a serial link at once).
void EndSilentAction(CameraLink* link) {
  link->state = LINK_STATE_BROKEN;
  if (!IsStoragePipe(link)) LinkReconnect(link);
}

// Whether a busy camera's silence ends its action: on the storage pipe at
// once, on a serial port at the action's deadline.
bool SilenceEndsAction(CameraLink* link) {
  if (!IsStoragePipe(link) && !TickPassed(link->busy_deadline)) return false;
  EndSilentAction(link);
  return true;
}

}  // namespace

int32_t LinkSetError(int32_t code, CameraLink* link) {
  if (link == nullptr) return code;
  link->last_error = code;
  if (StateFollowsCode(link->state, code)) link->state = StateForCode(code);
  return code;
}

void LinkNoteError(int32_t code, CameraLink* link) {
  if (link == nullptr) return;
  link->last_error = code;
  ++link->retry_count;
}

int32_t LinkLastError(const CameraLink* link) {
  return link != nullptr ? link->last_error : LINK_ERROR_NO_LINK;
}

std::span<const uint8_t> LinkLastSense(const CameraLink* link) {
  if (link == nullptr) return {};
  const ScsiRefusal& refusal = link->refusal;
  return std::span(refusal.sense)
      .first(std::min<size_t>(refusal.sense_length, refusal.sense.size()));
}

int32_t LinkSetProgressCallback(ProgressCallback callback, void* user, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  link->progress_callback = callback;
  link->progress_user = user;
  return LINK_OK;
}

int32_t LinkSetEventCallback(LinkEventCallback callback, void* user, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  link->event_callback = callback;
  link->event_user = user;
  return LINK_OK;
}

void LinkReportEvent(const LinkEvent& event, const CameraLink* link) {
  if (link->event_callback != nullptr) link->event_callback(link->event_user, event);
}

void LinkReportRequestAgain(int32_t try_number, int32_t tries, bool nak, uint32_t sent_at_ms,
                            const CameraLink* link) {
  LinkEvent again =
      TryEvent(LinkEventKind::FRAME_SENT_AGAIN, try_number, tries, ClockTickCount() - sent_at_ms);
  again.nak = nak;
  LinkReportEvent(again, link);
}

static_assert(std::atomic<int>::is_always_lock_free, "signal handlers set the stop flag");

int32_t LinkSetStopFlag(const std::atomic<int>* flag, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  link->stop_flag = flag;
  return LINK_OK;
}

int32_t LinkSetReconnectCheck(ReconnectCheck check, void* user, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  link->reconnect_check = check;
  link->reconnect_user = user;
  return LINK_OK;
}

int32_t LinkEnsureReady(CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  switch (link->state) {
    case LINK_STATE_READY: return LINK_OK;
    case LINK_STATE_CLOSED:
    case LINK_STATE_CAMERA_GONE:
    case LINK_STATE_BROKEN: return LinkReconnect(link);
    case LINK_STATE_BUSY:
      for (;;) {
        if (StopRequested(link)) return LINK_ERROR_STOPPED;
        const std::optional<ActionState> heard = ReadActionState(link);
        // The camera's error byte is its word on the action: the call that
        // waited for it fails with it rather than going on as if all was well.
        if (heard == ActionState::CAMERA_ERROR) return LINK_ERROR_CAMERA_ERROR;
        if (heard ? *heard == ActionState::ENDED : SilenceEndsAction(link)) break;
      }
      return LinkCheckAlive(link) != 0 ? LINK_OK : LINK_ERROR_NO_ANSWER;
    case LINK_STATE_IN_TRANSACTION:
      while (link->state == LINK_STATE_IN_TRANSACTION) ClockSleep(IN_TRANSACTION_WAIT_MS);
      return LINK_OK;
    default: return LINK_ERROR_INTERNAL;
  }
}

int32_t LinkPollBusy(CameraLink* link) {
  if (const std::optional<ActionState> heard = ReadActionState(link)) {
    return *heard == ActionState::ENDED ? 0 : 1;
  }
  return SilenceEndsAction(link) ? 0 : 1;
}

int32_t LinkSetStallBound(uint32_t ms, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  link->stall_bound_ms = ms;
  RenewStallBound(link);
  return LINK_OK;
}

ActionState LinkPollAction(CameraLink* link) {
  const std::optional<ActionState> heard = ReadActionState(link);
  if (heard) return *heard;
  if (!TickPassed(link->busy_deadline)) return ActionState::RUNNING;
  EndSilentAction(link);
  return ActionState::ENDED;
}

int32_t LinkSetWaitDeadline(std::optional<uint32_t> deadline, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  link->wait_deadline = deadline;
  return LINK_OK;
}

int32_t LinkSetWaitDuration(uint32_t ms, CameraLink* link) {
  return LinkSetWaitDeadline(ClockTickCount() + ms, link);
}

uint32_t LinkTickCount() { return ClockTickCount(); }

int32_t LinkCheckAlive(CameraLink* link) {
  if (link == nullptr) return 0;
  if (LinkPollBusy(link) != 0) return 0;
  return LinkGetValue(PROPERTY_READY, false, link) == static_cast<int32_t>(CAMERA_READY) ? 1 : 0;
}

}  // namespace pelox
