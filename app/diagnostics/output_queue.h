#pragma once
// An output's bytes on their way to its descriptor, written by a thread of
// their own: whoever adds a line never waits for a slow disk or a reader
// that stopped reading. What finds no room in the bounded queue is counted
// as lost, not waited for, unless the queue was told it may wait.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/thread.h"

namespace pelox {

// The bytes an output may hold that its reader has not taken yet.
inline constexpr size_t OUTPUT_QUEUE_BYTES = size_t{1} << 20;

// What an output could not write.
struct OutputLoss {
  uint64_t bytes = 0;
  uint64_t lines = 0;
  int error = 0;  // why writing stopped for good; 0 while it goes on
};

// `name` ("the log trace.txt") and what it lost, as one clause; empty
// when nothing was lost.
std::string OutputLossText(std::string_view name, const OutputLoss& loss);

class OutputQueue {
 public:
  // Writes to `fd`, closing it at the end when `owned`. Where no thread can
  // be started, each line is written at once by whoever adds it.
  OutputQueue(int fd, bool owned, size_t capacity = OUTPUT_QUEUE_BYTES);
  ~OutputQueue() { Finish(0); }
  OutputQueue(const OutputQueue&) = delete;
  OutputQueue& operator=(const OutputQueue&) = delete;

  // Queues `text` whole, or counts it lost. While it may wait, waits for
  // room instead, until a signal the run acts on.
  void Put(std::string_view text);
  void MayWait(bool may_wait) { may_wait_ = may_wait; }
  // Adds what `closing` says of the loss when anything was lost, then
  // writes the rest for at most `bound_ms` (none: until it is written or a
  // signal comes); what is left then is lost. Later lines are lost.
  void Finish(std::optional<uint32_t> bound_ms,
              const std::function<std::string(const OutputLoss&)>& closing = {});
  OutputLoss Loss() const;

 private:
  // Waits until `done`, the bound or the writer's failure; or until a signal
  // comes while the reader takes nothing.
  void WaitForWriter(std::unique_lock<Mutex>& lock, std::optional<uint32_t> bound_ms,
                     const std::function<bool()>& done);
  void WriteQueued();
  // Writes `text` unless abandoned or failed, or signalled while
  // `caller_waits`; the bytes written.
  size_t WriteOut(std::string_view text, bool caller_waits);
  void Lose(std::string_view text);

  const int fd_;
  const bool owned_;
  const size_t capacity_;
  mutable Mutex mutex_;
  std::condition_variable_any changed_;
  std::string pending_;
  size_t queued_ = 0;  // pending, and taken by the writer but not yet written
  bool stopping_ = false;
  bool finished_ = false;
  std::atomic<bool> abandoned_{false};
  std::atomic<bool> may_wait_{false};
  std::atomic<uint64_t> written_{0};
  std::atomic<int> error_{0};  // why writing stopped for good
  OutputLoss loss_;
  ThreadHandle writer_ = nullptr;
};

}  // namespace pelox
