#include "app/session/run_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "app/session/options.h"

namespace pelox {
namespace {

std::atomic<int> pending_signal{0};
std::atomic<bool> end_at_once_allowed{true};
std::atomic<const termios*> terminal_settings{nullptr};

std::atomic<int> stop_waits{0};

// Only async-signal-safe calls here.
void OnRunSignal(int number) {
  if (pending_signal.load() != 0 && end_at_once_allowed.load()) {
    if (const termios* settings = terminal_settings.load(); settings != nullptr) {
      tcsetattr(STDIN_FILENO, TCSANOW, settings);
    }
    _exit(EXIT_INTERRUPTED);
  }
  pending_signal = number;
  if (end_at_once_allowed.load()) {
    stop_waits = number;
    // The write may have begun meanwhile: its waits must not be cut.
    if (!end_at_once_allowed.load()) stop_waits = 0;
  }
}

}  // namespace

void CatchRunSignals() {
  struct sigaction action {};
  action.sa_handler = OnRunSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: the loop's poll returns at once.
  for (const int number : RUN_SIGNALS) sigaction(number, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  // A log past the file-size limit fails its writes instead; the log stops
  // and the update goes on.
  signal(SIGXFSZ, SIG_IGN);
}

int TakeRunSignal() { return pending_signal.exchange(0); }

const std::atomic<int>* PendingRunSignal() { return &stop_waits; }

void AllowEndAtOnce(bool allowed) {
  end_at_once_allowed = allowed;
  if (!allowed) stop_waits = 0;
}

void RestoreTerminalOnSignal(const termios* settings) { terminal_settings = settings; }

RunSignalsBlocked::RunSignalsBlocked() {
  sigset_t run_signals;
  sigemptyset(&run_signals);
  for (const int number : RUN_SIGNALS) sigaddset(&run_signals, number);
  pthread_sigmask(SIG_BLOCK, &run_signals, &previous_);
}

RunSignalsBlocked::~RunSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace pelox
