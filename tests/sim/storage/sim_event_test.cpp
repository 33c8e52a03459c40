#include <gtest/gtest.h>

#include "platform/event.h"
#include "sim/virtual_clock.h"

namespace pelox {
namespace {

TEST(SimulatedEventTest, AnUnsignalledWaitPassesItsTimeInVirtualTime) {
  sim::VirtualClockReset();
  EventHandle event = EventCreate();
  ASSERT_NE(event, nullptr);
  EXPECT_FALSE(EventWait(event, 30000));
  EXPECT_EQ(sim::VirtualNowMs(), 30000u);
  EXPECT_TRUE(EventClose(event));
}

TEST(SimulatedEventTest, ASignalIsConsumedByOneWaitWithoutTimePassing) {
  sim::VirtualClockReset();
  EventHandle event = EventCreate();
  ASSERT_NE(event, nullptr);
  EXPECT_TRUE(EventSignal(event));
  EXPECT_TRUE(EventWait(event, 2000));
  EXPECT_EQ(sim::VirtualNowMs(), 0u);
  EXPECT_FALSE(EventWait(event, 2000));
  EXPECT_TRUE(EventClose(event));
}

}  // namespace
}  // namespace pelox
