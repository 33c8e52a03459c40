#include "app/desktop/session_thread.h"

#include <QTimer>

#include "app/dialog_ids.h"
#include "app/session/run_signals.h"

namespace pelox {
namespace {

// A signal (logout, kill) is looked at this often.
constexpr int SIGNAL_POLL_MS = 200;
// The stop flag's value for the user's cancel; a signal stores its number.
constexpr int STOP_BY_USER = -1;

std::atomic<SessionThread*> live_run{nullptr};

}  // namespace

SessionThread::SessionThread(const UploaderOptions& options, LinkEventCallback observer,
                             void* user)
    : view_(std::make_unique<DesktopView>()) {
  qRegisterMetaType<pelox::UpdateState>();
  session_ = std::make_unique<UpdateSession>(*view_, options, &stop_);
  session_->ObserveLink(observer, user);
  view_->OnPhase([this](const UpdateState& state) { OnPhase(state); });

  steps_ = new QObject;
  signal_timer_ = new QTimer(steps_);
  connect(signal_timer_, &QTimer::timeout, steps_, [this] { ActOnSignal(); });
  connect(
      view_.get(), &DesktopView::StepPosted, steps_,
      [this](int step) { session_->Command(step); }, Qt::QueuedConnection);
  connect(
      view_.get(), &DesktopView::Closed, steps_,
      [this] {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        changed_.notify_all();
      },
      Qt::DirectConnection);
  connect(&thread_, &QThread::finished, steps_, &QObject::deleteLater);
  steps_->moveToThread(&thread_);
  {
    // Only the program's main thread takes the run's signals.
    const RunSignalsBlocked blocked;
    thread_.start();
  }
  live_run = this;
}

SessionThread::~SessionThread() {
  SessionThread* self = this;
  live_run.compare_exchange_strong(self, nullptr);
  Stop(STOP_BY_USER);
  thread_.quit();
  thread_.wait();
  session_.reset();
}

SessionThread* SessionThread::Live() { return live_run; }

void SessionThread::Start() {
  QMetaObject::invokeMethod(steps_, [this] {
    signal_timer_->start(SIGNAL_POLL_MS);
    session_->Start();
  });
}

void SessionThread::Command(int control_id) {
  QMetaObject::invokeMethod(steps_, [this, control_id] { session_->Command(control_id); });
}

bool SessionThread::Stop(int value) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (state_.write_may_have_left) return false;
  stop_ = value;
  return true;
}

bool SessionThread::Cancel() {
  const UpdatePhase phase = State().phase;
  if (phase == UpdatePhase::ENDED) return false;
  if (phase == UpdatePhase::TRANSFERRING && !session_->CancelTransfer()) return false;
  if (!Stop(STOP_BY_USER)) return false;
  cancelled_ = true;
  if (phase != UpdatePhase::TRANSFERRING) Command(CONTROL_CLOSE);
  return true;
}

void SessionThread::PassOnPendingSignal() {
  const int signal = PendingRunSignal()->load();
  if (signal == 0 || stop_ != 0) return;
  if (State().phase == UpdatePhase::TRANSFERRING && !session_->CancelTransfer()) return;
  Stop(signal);
}

// On the steps' thread, after the session's rules heard of the phase and
// before anything of it can happen.
void SessionThread::OnPhase(const UpdateState& state) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
    // The flash wait ends only with the camera's word.
    if (state.write_may_have_left) stop_ = 0;
    changed_.notify_all();
  }
  emit PhaseEntered(state);
}

// A signal asks the session's rules what to do: end before the transfer,
// cancel it while that still holds, else wait for the camera's word.
void SessionThread::ActOnSignal() {
  const SignalAction action = session_->ActOnSignal();
  if (!action.note.empty()) emit SignalNoted(QString::fromStdString(action.note));
  bool closed = false;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closed = closed_;
  }
  if (!closed && session_->EndsWithChain() && State().phase == UpdatePhase::ENDED) {
    session_->Command(CONTROL_CLOSE);
  }
}

UpdateState SessionThread::State() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return state_;
}

void SessionThread::CloseAfterVerdict() {
  // Before the write command a lost window is a cancel.
  Cancel();
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] {
    return closed_ || state_.phase == UpdatePhase::ENDED || state_.phase == UpdatePhase::READY;
  });
  if (closed_) return;
  lock.unlock();
  Command(CONTROL_CLOSE);
  lock.lock();
  changed_.wait(lock, [this] { return closed_; });
}

}  // namespace pelox
