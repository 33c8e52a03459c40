#include "app/diagnostics/output_stream.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "app/session/run_signals.h"

namespace pelox {
namespace {

// How often a blocked write looks whether the run was signalled.
constexpr int SIGNAL_LOOK_MS = 100;

// The cookie is the descriptor itself.
int FdOf(void* cookie) { return static_cast<int>(reinterpret_cast<intptr_t>(cookie)); }

bool Signalled() { return PendingRunSignal()->load() != 0; }

// Writes all of `data`, as a stream expects: a short write is followed by
// another, which reports why the first was short.
ssize_t WriteOutput(void* cookie, const char* data, size_t size) {
  const int fd = FdOf(cookie);
  size_t done = 0;
  while (done < size) {
    const ssize_t written = write(fd, data + done, size - done);
    if (written >= 0) {
      done += static_cast<size_t>(written);
      continue;
    }
    if (errno != EINTR && errno != EAGAIN) return -1;
    if (Signalled()) {
      errno = EINTR;
      return -1;
    }
    if (errno == EAGAIN) {
      pollfd writable{fd, POLLOUT, 0};
      poll(&writable, 1, SIGNAL_LOOK_MS);
    }
  }
  return static_cast<ssize_t>(done);
}

int CloseOutput(void* cookie) { return close(FdOf(cookie)); }

}  // namespace

FILE* OutputStream(int fd) {
  // Non-blocking, so that a write to a reader that reads nothing returns
  // and the signal flag is seen.
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  void* cookie = reinterpret_cast<void*>(static_cast<intptr_t>(fd));
  const cookie_io_functions_t functions{nullptr, WriteOutput, nullptr, CloseOutput};
  FILE* stream = fopencookie(cookie, "w", functions);
  if (stream == nullptr) close(fd);
  return stream;
}

}  // namespace pelox
