#include <gtest/gtest.h>

#include "platform/event.h"
#include "platform/thread.h"

namespace pelox {
namespace {

TEST(PosixEventTest, ASignalWakesOneWaitAndResetsItself) {
  EventHandle event = EventCreate();
  ASSERT_NE(event, nullptr);
  EXPECT_FALSE(EventWait(event, 1));
  ThreadHandle signaller = ThreadStart([event] { EventSignal(event); });
  ASSERT_NE(signaller, nullptr);
  EXPECT_TRUE(EventWait(event, 5000));
  ThreadJoin(signaller);
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
