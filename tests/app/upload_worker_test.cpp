#include "app/upload_worker.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "sim/virtual_clock.h"
#include "tests/app/recording_view.h"

namespace pelox {
namespace {

class UploadWorker : public ::testing::Test {
 protected:
  void SetUp() override { sim::VirtualClockReset(1000); }
  std::atomic<bool> stop{false};
};

TEST_F(UploadWorker, FlashWaitEndsAsSoonAsTheCameraReportsReady) {
  int polls = 0;
  const uint32_t started = ClockTickCount();
  EXPECT_EQ(WaitForCameraReady([&] { return ++polls == 3 ? FlashLook::READY : FlashLook::WRITING; },
                               started + CAMERA_WRITE_WAIT_MS, stop),
            FlashLook::READY);
  EXPECT_EQ(polls, 3);
  EXPECT_EQ(ClockTickCount() - started, 3 * UPLOAD_POLL_MS);
}

TEST_F(UploadWorker, FlashWaitEndsAtTheCamerasErrorWithoutLookingAgain) {
  int polls = 0;
  EXPECT_EQ(
      WaitForCameraReady([&] { return ++polls == 2 ? FlashLook::FAILED : FlashLook::WRITING; },
                         ClockTickCount() + CAMERA_WRITE_WAIT_MS, stop),
      FlashLook::FAILED);
  EXPECT_EQ(polls, 2);
}

TEST_F(UploadWorker, FlashWaitGivesUpAtItsDeadlineWithoutPausingPastIt) {
  // The write command itself took 500 ms of the minute.
  const uint32_t started = ClockTickCount();
  sim::VirtualAdvanceMs(500);
  int polls = 0;
  EXPECT_EQ(WaitForCameraReady([&] { return ++polls, FlashLook::WRITING; },
                               started + CAMERA_WRITE_WAIT_MS, stop),
            FlashLook::WRITING);
  EXPECT_EQ(ClockTickCount() - started, CAMERA_WRITE_WAIT_MS);
  EXPECT_EQ(polls, 118);
}

TEST_F(UploadWorker, FlashWaitCountsAcrossTheTickCountWrapping) {
  sim::VirtualClockReset(0xFFFFFFFFull - 1000);
  const uint32_t started = ClockTickCount();
  EXPECT_EQ(
      WaitForCameraReady([] { return FlashLook::WRITING; }, started + CAMERA_WRITE_WAIT_MS, stop),
      FlashLook::WRITING);
  EXPECT_EQ(static_cast<uint32_t>(ClockTickCount() - started), CAMERA_WRITE_WAIT_MS);
}

TEST_F(UploadWorker, FlashWaitStopsWhenAsked) {
  stop = true;
  int polls = 0;
  EXPECT_EQ(WaitForCameraReady([&] { return ++polls, FlashLook::READY; },
                               ClockTickCount() + CAMERA_WRITE_WAIT_MS, stop),
            FlashLook::WRITING);
  EXPECT_EQ(polls, 0);
}

// Stops the animator after a number of bar updates.
class CountingView : public test::RecordingView {
 public:
  CountingView(std::atomic<bool>& stop, size_t updates) : stop_(stop), updates_(updates) {}
  void SetProgress(int32_t position) override {
    RecordingView::SetProgress(position);
    if (Progress().size() == updates_) stop_ = true;
  }

 private:
  std::atomic<bool>& stop_;
  size_t updates_;
};

TEST_F(UploadWorker, AnimatorAlternatesFullAndEmptyEveryHalfSecond) {
  CountingView view(stop, 4);
  std::atomic<int32_t> position{0};
  const uint32_t started = ClockTickCount();
  AnimateProgress(view, position, stop);
  EXPECT_EQ(view.Progress(), (std::vector<int32_t>{100, 0, 100, 0}));
  EXPECT_EQ(ClockTickCount() - started, 4 * UPLOAD_POLL_MS);
}

TEST_F(UploadWorker, AnimatorStoppedBeforeItStartsLeavesTheBarAlone) {
  test::RecordingView view;
  std::atomic<int32_t> position{0};
  stop = true;
  AnimateProgress(view, position, stop);
  EXPECT_TRUE(view.Progress().empty());
}

}  // namespace
}  // namespace pelox
