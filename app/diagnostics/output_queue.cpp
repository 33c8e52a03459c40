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
  std::string text = std::string(name) + " lost " + std::to_string(loss.bytes) + " bytes (" +
                     std::to_string(loss.lines) + (loss.lines == 1 ? " line)" : " lines)");
  if (loss.error != 0) return text + ": " + std::strerror(loss.error);
  return text + ": its reader did not take them in time";
}

OutputQueue::OutputQueue(int fd, bool owned, size_t capacity)
    : fd_(fd), owned_(owned), capacity_(capacity) {
  // The run's signals go to its loop's thread, never to the writer.
  const RunSignalsBlocked blocked;
  writer_ = ThreadStart([this] { WriteQueued(); });
}

void OutputQueue::Put(std::string_view text) {
  std::unique_lock lock(mutex_);
  if (writer_ == nullptr && !finished_) {
    lock.unlock();
    const size_t written = WriteOut(text, true);
    lock.lock();
    Lose(text.substr(written));
    return;
  }
  while (may_wait_ && !finished_ && loss_.error == 0 && queued_ != 0 &&
         queued_ + text.size() > capacity_ && !Signalled()) {
    changed_.wait_for(lock, std::chrono::milliseconds(LOOK_MS));
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
  if (closing && loss_.bytes != 0 && loss_.error == 0) {
    const std::string said = closing(loss_);
    pending_ += said;
    queued_ += said.size();
    changed_.notify_all();
  }
  finished_ = true;
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(bound_ms.value_or(0));
  while (writer_ != nullptr && queued_ != 0 && loss_.error == 0 && !Signalled() &&
         (!bound_ms || std::chrono::steady_clock::now() < until)) {
    changed_.wait_for(lock, std::chrono::milliseconds(LOOK_MS));
  }
  abandoned_ = true;
  stopping_ = true;
  changed_.notify_all();
  lock.unlock();
  ThreadJoin(std::exchange(writer_, nullptr));
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
  while (done < text.size() && !abandoned_) {
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
    } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
      const std::lock_guard lock(mutex_);
      loss_.error = errno;
      break;
    }
  }
  return done;
}

void OutputQueue::Lose(std::string_view text) {
  if (text.empty()) return;
  loss_.bytes += text.size();
  loss_.lines += std::max<uint64_t>(LinesIn(text), 1);
}

}  // namespace pelox
