#pragma once
// The rules of one update run, whatever shows it: what a signal does in
// each phase, the sleep inhibitor while the camera is written, and how the
// run ended for the verdict and its exit status. It needs no terminal.
//
// The update session (update_session.h) applies it for every front end: it
// hears each phase on the steps' thread, acts on a signal when the front end
// asks, and ends the run with the bytes the camera acknowledged.
#include <cstdint>
#include <string>

#include "app/main_dialog.h"
#include "app/session/run_verdict.h"
#include "app/session/sleep_inhibitor.h"
#include "app/update_phase.h"

namespace pelox {

// What a signal did.
struct SignalAction {
  bool taken = false;   // a signal had come
  bool closed = false;  // the dialog was closed by it
  std::string note;     // what to tell the user; empty when nothing new
};

class SessionPolicy {
 public:
  // `dialog` must outlive the policy. `check_only`: the run stops before
  // the upload (a dry run).
  SessionPolicy(MainDialog& dialog, bool check_only);
  // Releases the inhibitor and lets a signal end the program again.
  ~SessionPolicy();
  SessionPolicy(const SessionPolicy&) = delete;
  SessionPolicy& operator=(const SessionPolicy&) = delete;

  // Every phase the step machine tells its view.
  void OnPhase(const UpdateState& state);
  // Before the transfer a signal closes the dialog; during it, it cancels
  // the transfer unless the write has begun; while the camera may be
  // writing, the program waits for the camera's word and ends after it.
  SignalAction ActOnSignal();

  const UpdateState& State() const { return state_; }
  // Upload was offered at some time.
  bool WasReady() const { return ready_; }
  // A signal asked for the end: close as soon as the chain has ended.
  bool EndsWithChain() const { return interrupted_ || deferred_; }
  RunEnd End(uint64_t bytes_sent) const;

 private:
  MainDialog& dialog_;
  bool check_only_;
  SleepInhibitor inhibitor_;
  UpdateState state_;
  bool ready_ = false;
  bool interrupted_ = false;  // a signal ended the run or cancelled its transfer
  bool deferred_ = false;     // a signal came while the camera may have been writing
};

}  // namespace pelox
