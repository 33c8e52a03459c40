#pragma once
// GoogleTest's Notification for the win32-threads runtime, which has no
// std::mutex or std::condition_variable for GoogleTest's own one. GoogleTest
// needs it only to hold back the helper threads of its own thread tests,
// which these tests do not start; waiting by spinning is enough for that.
#include <atomic>

namespace testing::internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true, std::memory_order_release); }
  void WaitForNotification() const {
    while (!notified_.load(std::memory_order_acquire)) {
    }
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace testing::internal
