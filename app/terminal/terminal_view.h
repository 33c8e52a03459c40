#pragma once
// The dialog view of the terminal front end. Steps run on the thread that
// runs the loop; workers set the bar and post steps from their own threads,
// which wakes the loop through a pipe.
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_view.h"
#include "app/terminal/dialog_picture.h"
#include "link/link_events.h"

namespace pelox {

// What changed, in order, for the line output.
struct ViewEvent {
  bool is_message = false;
  int32_t string_id = 0;
  std::string message;
  int32_t progress = 0;
  std::optional<LinkEvent> link;     // what the link went through, its packet dropped
  std::optional<UpdateState> phase;  // the step machine's new phase
};

class TerminalView final : public DialogView {
 public:
  TerminalView();
  ~TerminalView() override;
  TerminalView(const TerminalView&) = delete;
  TerminalView& operator=(const TerminalView&) = delete;

  void ShowMessage(int32_t string_id) override;
  void ShowMessage(int32_t first_id, int32_t second_id) override;
  void EnableControl(int32_t control_id, bool enabled) override;
  void FocusControl(int32_t control_id) override;
  void SetCursor(int32_t cursor) override;
  void Close() override;
  void SetProgress(int32_t position) override;
  void PostStep(int32_t step_id) override;
  std::unique_ptr<Worker> StartWorker(std::function<void()> body) override;
  void ReportFacts(const DialogFacts& facts) override;
  void ShowPhase(const UpdateState& state) override;

  // From any thread, as SetProgress.
  void NoteLinkEvent(const LinkEvent& event);

  // The loop's side.
  // Called on the steps' thread right after each new message.
  void OnMessage(std::function<void()> shown) { message_shown_ = std::move(shown); }
  // Called on the steps' thread with each phase as it is told.
  void OnPhase(std::function<void(const UpdateState&)> told) { phase_told_ = std::move(told); }
  std::optional<int32_t> TakeStep();
  std::vector<ViewEvent> TakeEvents();
  DialogPicture Picture() const;
  bool IsClosed() const { return closed_; }
  DialogFacts Facts() const;
  // Nothing more will happen without the user: no step is waiting and no
  // worker runs.
  bool IsIdle() const;
  // Moves the focus to the other button if it is enabled (with two
  // buttons, every direction leads there).
  void MoveFocus();
  // Readable when something happened; drain it before waiting again.
  int WakeDescriptor() const { return wake_read_; }
  void DrainWake();
  void AdvanceBusyFrame();

 private:
  void Notify();
  void Message(int32_t string_id, std::string text);

  mutable std::mutex mutex_;
  DialogPicture picture_;
  std::deque<int32_t> steps_;
  std::vector<ViewEvent> events_;
  std::atomic<int32_t> running_workers_{0};
  std::atomic<bool> closed_{false};
  DialogFacts facts_;
  std::function<void()> message_shown_;
  std::function<void(const UpdateState&)> phase_told_;
  int wake_read_ = -1;
  int wake_write_ = -1;
};

}  // namespace pelox
