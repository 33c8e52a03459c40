#include "app/diagnostics/output_queue.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <utility>

#include "app/session/run_signals.h"

namespace pelox {
namespace {

// How often a wait looks whether it was abandoned or the run signalled.
constexpr int LOOK_MS = 100;

bool Signalled() { return PendingRunSignal()->load() != 0; }

uint64_t LinesIn(std::string_view text) {
  return static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

std::string OutputLossText(std::string_view name, const OutputLoss& loss) {
  if (loss.bytes == 0 && loss.error == 0) return {};
  const std::string lost = std::to_string(loss.bytes) + " bytes (" + std::to_string(loss.lines) +
                           (loss.lines == 1 ? " line)" : " lines)");
  if (loss.error != 0) {
    return std::string(name) + " stopped early: " + std::strerror(loss.error) + "; " + lost +
           " not written";
  }
  return std::string(name) + " lost " + lost + ": its reader did not take them in time";
}

OutputQueue::OutputQueue(int fd, bool owned, size_t capacity)
    : fd_(fd), owned_(owned), capacity_(capacity) {
  // The run's signals go to its loop's thread, never to the writer.
  const RunSignalsBlocked blocked;
  writer_ = ThreadStart([this] { WriteQueued(); });
}

void OutputQueue::Put(std::string_view text) {
  std::unique_lock lock(mutex_);
  if (writer_ == nullptr) {
    // Written at once, as the run waits; in one piece among its callers.
    if (!finished_ && loss_.error == 0) text.remove_prefix(WriteOut(text, true));
    Lose(text);
    return;
  }
  if (may_wait_) {
    WaitForWriter(lock, std::nullopt, [&] { return queued_ + text.size() <= capacity_; });
  }
  const bool room = queued_ + text.size() <= capacity_ || (may_wait_ && queued_ == 0);
  if (finished_ || loss_.error != 0 || !room) {
    Lose(text);
    return;
  }
  pending_.append(text);
  queued_ += text.size();
  changed_.notify_all();
}

void OutputQueue::Finish(std::optional<uint32_t> bound_ms,
                         const std::function<std::string(const OutputLoss&)>& closing) {
  std::unique_lock lock(mutex_);
  if (finished_) return;
  finished_ = true;
  if (closing && loss_.bytes != 0 && loss_.error == 0) {
    const std::string said = closing(loss_);
    if (writer_ == nullptr) {
      Lose(std::string_view(said).substr(WriteOut(said, true)));
    } else {
      pending_ += said;
      queued_ += said.size();
      changed_.notify_all();
    }
  }
  if (writer_ != nullptr) WaitForWriter(lock, bound_ms, [this] { return queued_ == 0; });
  abandoned_ = true;
  stopping_ = true;
  changed_.notify_all();
  ThreadHandle writer = std::exchange(writer_, nullptr);
  lock.unlock();
  ThreadJoin(writer);
  lock.lock();
  Lose(pending_);
  pending_.clear();
  queued_ = 0;
  if (owned_) close(fd_);
}

OutputLoss OutputQueue::Loss() const {
  const std::lock_guard lock(mutex_);
  return loss_;
}

// A signal ends the wait only while the reader takes nothing: a run that
// was interrupted still writes its result to a reader that reads.
void OutputQueue::WaitForWriter(std::unique_lock<Mutex>& lock, std::optional<uint32_t> bound_ms,
                                const std::function<bool()>& done) {
  const auto look = std::chrono::milliseconds(LOOK_MS);
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(bound_ms.value_or(0));
  auto progressed = std::chrono::steady_clock::now();
  uint64_t seen = written_;
  while (!done() && loss_.error == 0 && (!bound_ms || std::chrono::steady_clock::now() < until)) {
    changed_.wait_for(lock, look);
    const auto now = std::chrono::steady_clock::now();
    if (written_ != seen) {
      seen = written_;
      progressed = now;
    } else if (now - progressed >= look && Signalled()) {
      return;
    }
  }
}

void OutputQueue::WriteQueued() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !pending_.empty() || stopping_; });
    if (pending_.empty()) return;
    const std::string taken = std::exchange(pending_, {});
    lock.unlock();
    const size_t written = WriteOut(taken, false);
    lock.lock();
    queued_ -= taken.size();
    Lose(std::string_view(taken).substr(written));
    changed_.notify_all();
  }
}

// In pieces no larger than a pipe takes at once once it is writable, so
// that no write waits long even on a descriptor that blocks.
size_t OutputQueue::WriteOut(std::string_view text, bool caller_waits) {
  size_t done = 0;
  while (done < text.size() && !abandoned_ && error_ == 0) {
    pollfd writable{fd_, POLLOUT, 0};
    const int ready = poll(&writable, 1, LOOK_MS);
    if (ready == 0 || (ready < 0 && errno == EINTR)) {
      // Where the caller writes itself, a signal ends its wait.
      if (caller_waits && Signalled()) break;
      continue;
    }
    const ssize_t written =
        write(fd_, text.data() + done, std::min<size_t>(text.size() - done, PIPE_BUF));
    if (written > 0) {
      done += static_cast<size_t>(written);
      written_ += static_cast<uint64_t>(written);
    } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
      error_ = errno;
    }
  }
  return done;
}

// Called with the lock held.
void OutputQueue::Lose(std::string_view text) {
  loss_.error = error_;
  if (text.empty()) return;
  loss_.bytes += text.size();
  loss_.lines += std::max<uint64_t>(LinesIn(text), 1);
}

}  // namespace pelox
