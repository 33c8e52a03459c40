#include "app/terminal/terminal_view.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <utility>

#include "app/dialog_ids.h"
#include "app/resources/strings.h"
#include "app/worker_thread.h"

namespace pelox {

TerminalView::TerminalView() {
  std::array<int, 2> ends{-1, -1};
  if (pipe2(ends.data(), O_CLOEXEC | O_NONBLOCK) == 0) {
    wake_read_ = ends[0];
    wake_write_ = ends[1];
  }
  // The dialog manager puts the first enabled tab stop in focus: Close.
  picture_.focus = CONTROL_CLOSE;
}

TerminalView::~TerminalView() {
  if (wake_read_ >= 0) close(wake_read_);
  if (wake_write_ >= 0) close(wake_write_);
}

void TerminalView::Notify() {
  if (wake_write_ < 0) return;
  const char signal = 1;
  // A full pipe already wakes the loop.
  [[maybe_unused]] const ssize_t written = write(wake_write_, &signal, 1);
}

InputEvents TerminalView::WaitForWake(bool watch_input, int timeout_ms) {
  std::array<pollfd, 2> watched = {pollfd{wake_read_, POLLIN, 0}, pollfd{STDIN_FILENO, POLLIN, 0}};
  if (poll(watched.data(), watch_input ? 2 : 1, timeout_ms) < 0 && errno != EINTR) return {};
  DrainWake();
  if (!watch_input) return {};
  return {(watched[1].revents & POLLIN) != 0,
          (watched[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0};
}

void TerminalView::DrainWake() {
  std::array<char, 64> sink{};
  while (wake_read_ >= 0 && read(wake_read_, sink.data(), sink.size()) > 0) {
  }
}

void TerminalView::Message(int32_t string_id, std::string text) {
  {
    const std::lock_guard lock(mutex_);
    picture_.message = text;
    events_.push_back({true, string_id, std::move(text), 0, std::nullopt, std::nullopt});
  }
  if (message_shown_) message_shown_();
}

void TerminalView::ShowMessage(int32_t string_id) {
  Message(string_id, std::string(StringText(string_id)));
}

void TerminalView::ShowMessage(int32_t first_id, int32_t second_id) {
  Message(first_id, std::string(StringText(first_id)) + "\n" + std::string(StringText(second_id)));
}

void TerminalView::EnableControl(int32_t control_id, bool enabled) {
  const std::lock_guard lock(mutex_);
  (control_id == CONTROL_UPLOAD ? picture_.upload_enabled : picture_.close_enabled) = enabled;
}

void TerminalView::FocusControl(int32_t control_id) {
  const std::lock_guard lock(mutex_);
  picture_.focus = control_id;
}

void TerminalView::SetCursor(int32_t cursor) {
  const std::lock_guard lock(mutex_);
  picture_.busy = cursor == CURSOR_WAIT;
}

void TerminalView::Close() {
  closed_ = true;
  Notify();
}

void TerminalView::SetProgress(int32_t position) {
  {
    const std::lock_guard lock(mutex_);
    picture_.progress = position;
    events_.push_back({false, 0, {}, position, std::nullopt, std::nullopt});
  }
  Notify();
}

void TerminalView::NoteLinkEvent(const LinkEvent& event) {
  {
    const std::lock_guard lock(mutex_);
    ViewEvent noted;
    noted.link = event;
    noted.link->packet = {};
    events_.push_back(std::move(noted));
  }
  Notify();
}

void TerminalView::PostStep(int32_t step_id) {
  {
    const std::lock_guard lock(mutex_);
    steps_.push_back(step_id);
  }
  Notify();
}

std::unique_ptr<Worker> TerminalView::StartWorker(std::function<void()> body) {
  ++running_workers_;
  // The update session blocks the run's signals around this call.
  std::unique_ptr<Worker> worker = StartThreadWorker([this, body = std::move(body)] {
    body();
    --running_workers_;
    Notify();
  });
  if (worker == nullptr) --running_workers_;
  return worker;
}

void TerminalView::ReportFacts(const DialogFacts& facts) {
  const std::lock_guard lock(mutex_);
  facts_ = facts;
}

void TerminalView::ShowPhase(const UpdateState& state) {
  {
    const std::lock_guard lock(mutex_);
    ViewEvent told;
    told.phase = state;
    events_.push_back(std::move(told));
  }
  if (phase_told_) phase_told_(state);
}

DialogFacts TerminalView::Facts() const {
  const std::lock_guard lock(mutex_);
  return facts_;
}

std::optional<int32_t> TerminalView::TakeStep() {
  const std::lock_guard lock(mutex_);
  if (steps_.empty()) return std::nullopt;
  const int32_t step = steps_.front();
  steps_.pop_front();
  return step;
}

std::vector<ViewEvent> TerminalView::TakeEvents() {
  const std::lock_guard lock(mutex_);
  return std::exchange(events_, {});
}

DialogPicture TerminalView::Picture() const {
  const std::lock_guard lock(mutex_);
  return picture_;
}

bool TerminalView::IsIdle() const {
  const std::lock_guard lock(mutex_);
  return steps_.empty() && running_workers_ == 0;
}

void TerminalView::MoveFocus() {
  const std::lock_guard lock(mutex_);
  const int32_t other = picture_.focus == CONTROL_UPLOAD ? CONTROL_CLOSE : CONTROL_UPLOAD;
  const bool other_enabled =
      other == CONTROL_UPLOAD ? picture_.upload_enabled : picture_.close_enabled;
  if (other_enabled) picture_.focus = other;
}

void TerminalView::AdvanceBusyFrame() {
  const std::lock_guard lock(mutex_);
  ++picture_.busy_frame;
}

}  // namespace pelox
