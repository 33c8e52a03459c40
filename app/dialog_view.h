#pragma once
// What the step machine asks of a window. Each front end implements it for
// its platform; tests record the calls.
#include <cstdint>
#include <functional>
#include <memory>

#include "app/dialog_facts.h"
#include "app/update_phase.h"

namespace pelox {

inline constexpr int32_t CURSOR_ARROW = 0;
inline constexpr int32_t CURSOR_WAIT = 1;

// A started worker. Join waits until its body has returned.
class Worker {
 public:
  virtual ~Worker() = default;
  virtual void Join() = 0;
};

class DialogView {
 public:
  virtual ~DialogView() = default;

  // Messages are string ids; a two-line message is the first text, a line
  // feed and the second text.
  virtual void ShowMessage(int32_t string_id) = 0;
  virtual void ShowMessage(int32_t first_id, int32_t second_id) = 0;
  virtual void EnableControl(int32_t control_id, bool enabled) = 0;
  virtual void FocusControl(int32_t control_id) = 0;
  virtual void SetCursor(int32_t cursor) = 0;
  // Destroys the window and ends the message loop.
  virtual void Close() = 0;

  // These two may be called from any thread.
  virtual void SetProgress(int32_t position) = 0;
  // Queues a step behind the messages already waiting; never runs it now.
  virtual void PostStep(int32_t step_id) = 0;

  // Null when no worker could be started; `body` then never runs.
  virtual std::unique_ptr<Worker> StartWorker(std::function<void()> body) = 0;

  // What the steps found out so far, after each step that learnt something;
  // on the steps' thread. A view that only shows the messages ignores it.
  virtual void ReportFacts(const DialogFacts& /*facts*/) {}

  // The step machine's phase, each time it changes, on the steps' thread:
  // before the message of the new phase, and for ENDED after the last
  // ReportFacts and with the cause. Told before anything of the phase can
  // happen: WRITING comes before the write command may leave.
  virtual void ShowPhase(const UpdateState& state) = 0;
};

}  // namespace pelox
