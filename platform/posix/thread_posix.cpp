#include <mutex>
#include <new>
#include <thread>

#include "platform/thread.h"

namespace pelox {

struct PlatformThread {
  std::thread thread;
};

struct PlatformMutex {
  std::mutex mutex;
};

ThreadHandle ThreadStart(std::function<void()> body) {
  try {
    return new PlatformThread{std::thread(std::move(body))};
  } catch (const std::exception&) {
    return nullptr;
  }
}

void ThreadJoin(ThreadHandle thread) {
  if (thread == nullptr) return;
  if (thread->thread.joinable()) thread->thread.join();
  delete thread;
}

Mutex::Mutex() : native_(std::make_unique<PlatformMutex>()) {}
Mutex::~Mutex() = default;
void Mutex::lock() { native_->mutex.lock(); }
void Mutex::unlock() { native_->mutex.unlock(); }

}  // namespace pelox
