#include "app/session/session_policy.h"

#include "app/dialog_ids.h"
#include "app/session/run_signals.h"

namespace pelox {

SessionPolicy::SessionPolicy(MainDialog& dialog, bool check_only)
    : dialog_(dialog), check_only_(check_only) {}

SessionPolicy::~SessionPolicy() { AllowEndAtOnce(true); }

void SessionPolicy::OnPhase(const UpdateState& state) {
  state_ = state;
  switch (state.phase) {
    case UpdatePhase::READY: ready_ = true; break;
    case UpdatePhase::TRANSFERRING: inhibitor_.Take(); break;
    // From here on a second signal may no longer end the program at once.
    case UpdatePhase::WRITING: AllowEndAtOnce(false); break;
    case UpdatePhase::ENDED:
      AllowEndAtOnce(true);
      inhibitor_.Release();
      break;
    default: break;
  }
}

SignalAction SessionPolicy::ActOnSignal() {
  if (TakeRunSignal() == 0) return {};
  const UpdatePhase phase = state_.phase;
  if (phase == UpdatePhase::TRANSFERRING && dialog_.CancelTransfer()) {
    interrupted_ = true;
    return {true, false, "cancelling the transfer; the camera keeps its old firmware"};
  }
  if (phase == UpdatePhase::TRANSFERRING || phase == UpdatePhase::WRITING) {
    const bool first = !deferred_;
    deferred_ = true;
    return {
        true, false,
        first ? "the camera is writing its firmware; the program will end when it is done" : ""};
  }
  interrupted_ = true;
  dialog_.Command(static_cast<uint32_t>(CONTROL_CLOSE));
  return {true, true, ""};
}

RunEnd SessionPolicy::End(uint64_t bytes_sent) const {
  RunEnd end;
  end.cause = state_.phase == UpdatePhase::ENDED ? state_.cause : RunCause::NONE;
  end.ready = ready_;
  end.interrupted = interrupted_;
  end.check_only = check_only_;
  end.bytes_sent = bytes_sent;
  return end;
}

}  // namespace pelox
