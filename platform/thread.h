#pragma once
// Threads and locks through the platform. The Windows program must start on
// Windows 2000, so its backend calls the system's threads and critical
// sections directly instead of a threads runtime that imports newer functions.
#include <functional>
#include <memory>

namespace pelox {

struct PlatformThread;
struct PlatformMutex;
using ThreadHandle = PlatformThread*;

// Runs `body` on a new thread; null when no thread could be started.
ThreadHandle ThreadStart(std::function<void()> body);
// Waits until the thread has ended and releases it.
void ThreadJoin(ThreadHandle thread);

// A non-recursive lock. Its members are named as the standard's lockables so
// that std::lock_guard and std::unique_lock take it.
class Mutex {
 public:
  Mutex();
  ~Mutex();
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock();
  void unlock();

 private:
  std::unique_ptr<PlatformMutex> native_;
};

}  // namespace pelox
