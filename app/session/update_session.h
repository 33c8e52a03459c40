#pragma once
// One update run beneath every Linux front end: the step machine with the
// run's rules (what a signal does, the sleep inhibitor), the bytes the
// camera acknowledged, the image-first judgement, the warnings before the
// update and the verdict with its advice. A front end only presents it: it
// implements DialogView for its screen and never judges a run itself.
//
// How a front end uses it:
//  - CatchRunSignals() once at start;
//  - RefuseImageFirst(): a refused image ends the run before any camera is
//    looked for; present its message and end with its verdict;
//  - UpdateSession(view, options), then Start(); hand every step the view
//    was posted and every control the user chose to Command(), and call
//    ActOnSignal() each turn of the loop or from a timer, all on the thread
//    that runs the steps; once the chain ended and EndsWithChain(), close;
//  - Warnings() once Ready(); Judge() and NoCameraAdvice() once it ended.
// Every worker the step machine starts blocks the run's signals, whatever
// the view, and the view hears each phase after the session's rules did.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_facts.h"
#include "app/dialog_view.h"
#include "app/main_dialog.h"
#include "app/session/options.h"
#include "app/session/run_verdict.h"
#include "app/session/session_policy.h"
#include "link/link_events.h"

namespace pelox {

// The run's verdict from what the steps found and how the run ended, with
// the image as the user named it and what the search ran into.
Verdict JudgeUpdate(const DialogFacts& facts, RunEnd end, const UploaderOptions& options);

// The advice on devices the search could not open; empty unless no camera
// was found for that reason.
std::string NoCameraAdvice(const Verdict& verdict, const UploaderOptions& options);

// An image refused before any camera was looked for.
struct ImageRefusal {
  DialogFacts facts;
  int32_t message_id = 0;  // the dialog's message for it
  Verdict verdict{RunCause::IMAGE_REFUSED};
};

// The image is checked before the camera: a bad one never waits for a
// camera. `image_check` is CheckImageFirst's; nullopt when the image holds
// together and the run goes on.
std::optional<ImageRefusal> RefuseImageFirst(const DialogFacts& image_check,
                                             const UploaderOptions& options);

class UpdateSession {
 public:
  // `view` must outlive the session. The options give the image, the
  // speed, the versions allowed, the devices searched and --check.
  UpdateSession(DialogView& view, UploaderOptions options);
  // Joins the workers before the view they talk to can go.
  ~UpdateSession();
  UpdateSession(const UpdateSession&) = delete;
  UpdateSession& operator=(const UpdateSession&) = delete;

  // Before Start: who else hears of the link's events, on the thread of
  // the camera call.
  void ObserveLink(LinkEventCallback callback, void* user);
  void Start();
  // A posted step or a control the user chose.
  void Command(int32_t id);
  // What a signal that came does now, by the phase; see SessionPolicy.
  SignalAction ActOnSignal() { return policy_.ActOnSignal(); }
  // A signal asked for the end: close as soon as the chain has ended.
  bool EndsWithChain() const { return policy_.EndsWithChain(); }

  const UpdateState& State() const { return policy_.State(); }
  bool ChainEnded() const { return State().phase == UpdatePhase::ENDED; }
  // Upload was offered at some time.
  bool WasReady() const { return policy_.WasReady(); }
  // What the steps found out so far.
  DialogFacts Facts() const;
  // Of the image, as far as the camera acknowledged it in the transfer.
  uint64_t BytesAcknowledged() const { return bytes_acknowledged_; }

  // What the user should know before pressing Upload; empty before.
  std::vector<std::string> Warnings() const;
  RunEnd End() const;
  // The verdict as the run stands; final once the dialog closed.
  Verdict Judge() const { return JudgeUpdate(Facts(), End(), options_); }
  std::string NoCameraAdvice() const { return pelox::NoCameraAdvice(Judge(), options_); }

 private:
  class RulesView;
  static void OnLinkEvent(void* user, const LinkEvent& event);
  void OnPhase(const UpdateState& state);
  void OnFacts(const DialogFacts& facts);

  UploaderOptions options_;
  std::unique_ptr<RulesView> rules_view_;
  MainDialog dialog_;
  SessionPolicy policy_;
  mutable std::mutex facts_mutex_;
  DialogFacts facts_;
  std::atomic<bool> transferring_{false};
  std::atomic<uint64_t> bytes_acknowledged_{0};
  LinkEventCallback link_observer_ = nullptr;
  void* link_observer_user_ = nullptr;
};

}  // namespace pelox
