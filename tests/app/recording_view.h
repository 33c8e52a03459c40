#pragma once
// A DialogView for tests: it records every effect, queues posted steps until
// the test pumps them, and holds started workers until the test runs them
// (a join runs a worker that has not run yet), so that a test decides the
// order in which the threads' bodies run.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/dialog_ids.h"
#include "app/dialog_view.h"
#include "platform/thread.h"

namespace pelox::test {

class RecordingView : public DialogView {
 public:
  void ShowMessage(int32_t string_id) override;
  void ShowMessage(int32_t first_id, int32_t second_id) override;
  void EnableControl(int32_t control_id, bool enabled) override;
  void FocusControl(int32_t control_id) override;
  void SetCursor(int32_t cursor) override;
  void Close() override;
  void SetProgress(int32_t position) override;
  void PostStep(int32_t step_id) override;
  std::unique_ptr<Worker> StartWorker(std::function<void()> body) override;
  void ReportFacts(const DialogFacts& reported) override;
  void ShowPhase(const UpdateState& state) override;

  // Hands the posted steps, and the steps they post, to `dispatch` until
  // none is left.
  void Pump(const std::function<void(uint32_t)>& dispatch);
  // Runs the body of the n-th worker started (from 0) if it has not run.
  void RunWorker(size_t index);
  size_t WorkersStarted() const { return workers_.size(); }
  // Workers started whose body has not run (nobody joined them).
  size_t WorkersPending() const;

  std::vector<std::string> messages;  // every message shown, in order
  std::map<int32_t, bool> enabled = {{CONTROL_UPLOAD, false}, {CONTROL_CLOSE, true}};
  int32_t focus = 0;
  int32_t cursor = -1;
  bool closed = false;
  // From this many workers on, no more start, as when no thread can.
  size_t worker_limit = SIZE_MAX;
  uint32_t longest_still_ms = 0;     // between bar positions, up to a full bar
  DialogFacts facts;                 // the facts reported last
  size_t messages_before_facts = 0;  // the messages shown by then
  std::vector<UpdateState> phases;   // every phase told, in order

  std::vector<int32_t> Progress() const;
  std::vector<int32_t> PostedSteps() const;

 private:
  struct PendingBody {
    std::function<void()> body;
    bool ran = false;
  };
  class QueuedWorker;

  mutable Mutex mutex_;
  std::deque<int32_t> queue_;
  std::vector<int32_t> posted_;
  std::vector<int32_t> progress_;
  uint32_t progress_tick_ = 0;
  std::vector<std::shared_ptr<PendingBody>> workers_;
};

// The one phase sequence each cause of the step machine ends with, from the
// search on (a close ends the chain at READY).
std::vector<UpdatePhase> PhasesOf(RunCause cause);

// How the phases told break the rules, empty when they keep them: they are
// the ending cause's one sequence, the cause comes only with ENDED, and the
// write command is said to have left from WRITING on.
std::string PhaseFault(const std::vector<UpdateState>& phases);

}  // namespace pelox::test
