#include "tests/app/recording_view.h"

#include <algorithm>
#include <string>

#include "app/resources/strings.h"
#include "platform/clock.h"

namespace pelox::test {

class RecordingView::QueuedWorker : public Worker {
 public:
  explicit QueuedWorker(std::shared_ptr<PendingBody> pending) : pending_(std::move(pending)) {}
  void Join() override {
    if (!pending_->ran) {
      pending_->ran = true;
      pending_->body();
    }
  }

 private:
  std::shared_ptr<PendingBody> pending_;
};

void RecordingView::ShowMessage(int32_t string_id) { messages.emplace_back(StringText(string_id)); }

void RecordingView::ShowMessage(int32_t first_id, int32_t second_id) {
  messages.push_back(std::string(StringText(first_id)) + "\n" + std::string(StringText(second_id)));
}

void RecordingView::EnableControl(int32_t control_id, bool is_enabled) {
  enabled[control_id] = is_enabled;
}

void RecordingView::ReportFacts(const DialogFacts& reported) {
  facts = reported;
  messages_before_facts = messages.size();
}

void RecordingView::ShowPhase(const UpdateState& state) { phases.push_back(state); }

void RecordingView::FocusControl(int32_t control_id) { focus = control_id; }
void RecordingView::SetCursor(int32_t new_cursor) { cursor = new_cursor; }
void RecordingView::Close() { closed = true; }

void RecordingView::SetProgress(int32_t position) {
  const std::lock_guard lock(mutex_);
  if (!progress_.empty() && std::ranges::count(progress_, PROGRESS_FULL) == 0) {
    longest_still_ms = std::max(longest_still_ms, ClockTickCount() - progress_tick_);
  }
  progress_tick_ = ClockTickCount();
  progress_.push_back(position);
}

void RecordingView::PostStep(int32_t step_id) {
  const std::lock_guard lock(mutex_);
  queue_.push_back(step_id);
  posted_.push_back(step_id);
}

std::unique_ptr<Worker> RecordingView::StartWorker(std::function<void()> body) {
  if (workers_.size() >= worker_limit) return nullptr;
  auto pending = std::make_shared<PendingBody>();
  pending->body = std::move(body);
  workers_.push_back(pending);
  return std::make_unique<QueuedWorker>(pending);
}

void RecordingView::Pump(const std::function<void(uint32_t)>& dispatch) {
  for (;;) {
    int32_t step = 0;
    {
      const std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      step = queue_.front();
      queue_.pop_front();
    }
    dispatch(static_cast<uint32_t>(step));
  }
}

void RecordingView::RunWorker(size_t index) { QueuedWorker(workers_.at(index)).Join(); }

size_t RecordingView::WorkersPending() const {
  size_t pending = 0;
  for (const auto& worker : workers_) pending += worker->ran ? 0u : 1u;
  return pending;
}

std::vector<int32_t> RecordingView::Progress() const {
  const std::lock_guard lock(mutex_);
  return progress_;
}

std::vector<int32_t> RecordingView::PostedSteps() const {
  const std::lock_guard lock(mutex_);
  return posted_;
}

std::vector<UpdatePhase> PhasesOf(RunCause cause) {
  using enum UpdatePhase;
  switch (cause) {
    case RunCause::NO_CAMERA: return {SEARCHING, ENDED};
    case RunCause::IMAGE_REFUSED: return {SEARCHING, CHECKING_IMAGE, ENDED};
    case RunCause::CLOSED: return {SEARCHING, CHECKING_IMAGE, CHECKING_CAMERA, READY, ENDED};
    case RunCause::WRITE_FAILED:
    case RunCause::INTERRUPTED:
      return {SEARCHING, CHECKING_IMAGE, CHECKING_CAMERA, READY, TRANSFERRING, ENDED};
    case RunCause::WRITTEN:
    case RunCause::WRITE_UNCERTAIN:
      return {SEARCHING, CHECKING_IMAGE, CHECKING_CAMERA, READY, TRANSFERRING, WRITING, ENDED};
    default: return {SEARCHING, CHECKING_IMAGE, CHECKING_CAMERA, ENDED};
  }
}

std::string PhaseFault(const std::vector<UpdateState>& phases) {
  if (phases.empty()) return "no phase told";
  std::vector<UpdatePhase> told;
  std::string text;
  bool writing_seen = false;
  std::string fault;
  for (const UpdateState& state : phases) {
    told.push_back(state.phase);
    text += std::string(UpdatePhaseText(state.phase)) + " ";
    writing_seen = writing_seen || state.phase == UpdatePhase::WRITING;
    if (state.write_may_have_left != writing_seen)
      fault = "the write command's leaving misstated; ";
    if ((state.cause != RunCause::NONE) != (state.phase == UpdatePhase::ENDED)) {
      fault += "a cause without the end or an end without one; ";
    }
  }
  const RunCause cause = phases.back().cause;
  if (told != PhasesOf(cause)) fault += "not the one sequence of its cause; ";
  return fault.empty() ? fault : fault + text + std::string(RunCauseText(cause));
}

}  // namespace pelox::test
