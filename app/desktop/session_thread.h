#pragma once
// One run of the step machine on a thread of its own, so that the window
// paints and answers while the camera is searched, checked and written.
// Everything the steps do happens on that thread; the window hears of it
// through the view's queued signals and asks for commands through here.
#include <QObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "app/desktop/desktop_view.h"
#include "app/session/options.h"
#include "app/session/update_session.h"

class QTimer;

namespace pelox {

class SessionThread final : public QObject {
  Q_OBJECT

 public:
  // The dialog is built for `options` (image, speed, versions allowed);
  // `observer` hears of the link's events on the camera's thread (may be
  // null). Nothing runs before Start.
  SessionThread(const UploaderOptions& options, LinkEventCallback observer, void* user);
  // Cuts what waits on the camera short unless it may be writing, and joins.
  ~SessionThread() override;
  SessionThread(const SessionThread&) = delete;
  SessionThread& operator=(const SessionThread&) = delete;

  DesktopView& View() { return *view_; }
  // Facts, warnings and the verdict; steps run only on the session's thread.
  const UpdateSession& Session() const { return *session_; }
  void Start();
  // Upload or Close, run on the steps' thread behind what is queued there.
  void Command(int control_id);
  // The user's cancel, from any thread: ends the search, the checks or the
  // transfer while no write command can have left. False once it may have.
  bool Cancel();
  bool Cancelled() const { return cancelled_; }
  // A signal noted by the handler ends the camera's waits at once, as the
  // command line's do, unless the camera may be writing.
  void PassOnPendingSignal();

  UpdateState State() const;
  // Blocks until the chain has ended and the dialog closed (the window may
  // be gone: nothing here needs the window's thread).
  void CloseAfterVerdict();

  // The run the process must not end before, if any; set while one lives.
  static SessionThread* Live();

 signals:
  // On the window's thread, in order with the view's messages.
  void PhaseEntered(const pelox::UpdateState& state);
  void SignalNoted(const QString& note);

 private:
  void OnPhase(const UpdateState& state);
  void ActOnSignal();
  // Marks the stop flag; refused once the write command may have left.
  bool Stop(int value);

  std::unique_ptr<DesktopView> view_;
  // The link's stop flag: a cancel or a signal, never once writing began.
  std::atomic<int> stop_{0};
  std::unique_ptr<UpdateSession> session_;
  QThread thread_;
  QObject* steps_ = nullptr;  // lives on thread_: the steps' context
  QTimer* signal_timer_ = nullptr;
  std::atomic<bool> cancelled_{false};

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  UpdateState state_;
  bool closed_ = false;
};

}  // namespace pelox
