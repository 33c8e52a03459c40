#pragma once
// SIGINT, SIGTERM, SIGHUP and SIGQUIT for the uploader: each is noted for the
// session's loop to act on (end, cancel the transfer, or wait for the
// camera's write). A second one before the first was acted on ends the
// program at once while that is still safe. SIGPIPE and SIGXFSZ are
// ignored, so a closed output pipe or a log at the file-size limit cannot
// kill a write.
#include <termios.h>

#include <array>
#include <atomic>
#include <csignal>

namespace pelox {

// The signals the session acts on; only its loop's thread may take them.
inline constexpr std::array<int, 4> RUN_SIGNALS{SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void CatchRunSignals();
// The signal received since the last call, 0 for none.
int TakeRunSignal();
// Set by a signal that came while the program may end at once, and kept:
// a flag for the camera's waits (search, handshake, exchanges, disconnect),
// so that they end at once. Cleared while the camera may be writing.
const std::atomic<int>* PendingRunSignal();
// Whether a second signal may end the program at once; not while the
// camera may be writing its firmware.
void AllowEndAtOnce(bool allowed);
// The terminal settings to restore when a signal ends the program; null
// for none. The settings must outlive the catching.
void RestoreTerminalOnSignal(const termios* settings);

// Blocks the run's signals on this thread for its lifetime, so that a thread
// started meanwhile inherits the mask: only the session's loop takes them,
// and a worker's call to the camera is never cut short by one.
class RunSignalsBlocked {
 public:
  RunSignalsBlocked();
  ~RunSignalsBlocked();
  RunSignalsBlocked(const RunSignalsBlocked&) = delete;
  RunSignalsBlocked& operator=(const RunSignalsBlocked&) = delete;

 private:
  sigset_t previous_{};
};

}  // namespace pelox
