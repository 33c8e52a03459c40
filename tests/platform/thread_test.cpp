#include "platform/thread.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <mutex>

namespace pelox {
namespace {

// Several threads add to one count under the lock; every addition must
// survive, and each join must wait for its thread's last one.
TEST(PlatformThreadTest, JoinedThreadsAddUnderTheLockWithoutLosingAnAddition) {
  constexpr int THREADS = 4;
  constexpr int ADDITIONS = 100000;
  Mutex mutex;
  int count = 0;
  std::atomic<bool> go{false};  // all start adding together
  std::array<ThreadHandle, THREADS> threads{};
  for (ThreadHandle& thread : threads) {
    thread = ThreadStart([&] {
      while (!go.load()) {
      }
      for (int i = 0; i < ADDITIONS; ++i) {
        const std::lock_guard lock(mutex);
        ++count;
      }
    });
    ASSERT_NE(thread, nullptr);
  }
  go.store(true);
  for (ThreadHandle thread : threads) ThreadJoin(thread);
  EXPECT_EQ(count, THREADS * ADDITIONS);
}

}  // namespace
}  // namespace pelox
