#include <gtest/gtest.h>

#include <thread>

#include "platform/event.h"

namespace pelox {
namespace {

TEST(PosixEventTest, ASignalWakesOneWaitAndResetsItself) {
  EventHandle event = EventCreate();
  ASSERT_NE(event, nullptr);
  EXPECT_FALSE(EventWait(event, 1));
  std::thread signaller([event] { EventSignal(event); });
  EXPECT_TRUE(EventWait(event, 5000));
  signaller.join();
  EXPECT_FALSE(EventWait(event, 1));
  EXPECT_TRUE(EventClose(event));
}

TEST(PosixEventTest, ASignalBeforeTheWaitIsKept) {
  EventHandle event = EventCreate();
  ASSERT_NE(event, nullptr);
  EXPECT_TRUE(EventSignal(event));
  EXPECT_TRUE(EventWait(event, 0));
  EXPECT_TRUE(EventClose(event));
}

}  // namespace
}  // namespace pelox
