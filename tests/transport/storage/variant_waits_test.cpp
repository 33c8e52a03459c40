// How long each variant lets its commands take.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>

#include "sim/storage/aspi_manager.h"
#include "sim/storage/pass_through_drives.h"
#include "sim/storage/sg_devices.h"
#include "sim/virtual_clock.h"
#include "tests/transport/storage/recording_device.h"
#include "tests/transport/storage/variant_rig.h"
#include "transport/port/port.h"
#include "transport/storage/storage_ops.h"

namespace pelox::test {
namespace {

using ::testing::ElementsAre;

class VariantWaitsTest : public ::testing::Test {
 protected:
  void Open(VariantRig& rig) {
    camera_.answer_length = 65;
    rig.Attach(camera_);
    ASSERT_EQ(rig.Open(), PORT_TYPE_STORAGE);
  }
  void WriteThenRead(VariantRig& rig, int32_t read_timeout) {
    std::array<uint8_t, 1> byte{};
    ASSERT_EQ(StorageOpsTable().Write(&rig.Link(), std::array<uint8_t, 1>{6}), 1);
    ASSERT_EQ(StorageOpsTable().Read(&rig.Link(), byte, read_timeout), 1);
  }
  RecordingDevice camera_;
};

TEST_F(VariantWaitsTest, PassThroughWritesTakeTwoSecondsAndReadsTheirArgument) {
  VariantRig rig(Variant::PASS_THROUGH);
  Open(rig);
  const auto discovery = static_cast<ptrdiff_t>(sim::PassThroughTimeouts().size());
  EXPECT_EQ(sim::PassThroughTimeouts().back(), 12u) << "discovery's INQUIRY";
  WriteThenRead(rig, 7);
  const std::vector<uint32_t> phases(sim::PassThroughTimeouts().begin() + discovery,
                                     sim::PassThroughTimeouts().end());
  EXPECT_THAT(phases, ElementsAre(2, 2, 2, 7, 7, 7, 7));
}

TEST_F(VariantWaitsTest, SgIoWritesTakeTwoSecondsAndReadsTheirArgumentInSeconds) {
  VariantRig rig(Variant::SG_IO);
  Open(rig);
  const auto discovery = static_cast<ptrdiff_t>(sim::SgTimeoutsMs().size());
  WriteThenRead(rig, 7);
  const std::vector<uint32_t> timeouts = sim::SgTimeoutsMs();
  const std::vector<uint32_t> phases(timeouts.begin() + discovery, timeouts.end());
  EXPECT_THAT(phases, ElementsAre(2000, 2000, 2000, 7000, 7000, 7000, 7000));
}

TEST_F(VariantWaitsTest, AnAspiCommandThatNeverCompletesWaitsTheLinksSeconds) {
  VariantRig rig(Variant::ASPI);
  Open(rig);
  sim::AspiManagerSetCompletion(sim::AspiCompletion::NEVER);
  // A write waits 30 s for its command phase.
  uint64_t start = sim::VirtualNowMs();
  EXPECT_EQ(StorageOpsTable().Write(&rig.Link(), std::array<uint8_t, 1>{6}), PORT_TRANSFER_FAILED);
  EXPECT_EQ(sim::VirtualNowMs() - start, 30000u);
  // A read's command phase waits what the write left; its answer, the read's argument.
  std::array<uint8_t, 1> byte{};
  start = sim::VirtualNowMs();
  EXPECT_EQ(StorageOpsTable().Read(&rig.Link(), byte, 4), PORT_TRANSFER_FAILED);
  EXPECT_EQ(sim::VirtualNowMs() - start, 30000u);
  EXPECT_EQ(rig.Link().wait_seconds, 30);
}

TEST_F(VariantWaitsTest, AnAspiCommandIsWaitedForOnlyWhilePending) {
  VariantRig rig(Variant::ASPI);
  Open(rig);
  EXPECT_EQ(rig.Link().wait_seconds, 2) << "discovery's wait";
  // Completed before the call returned: no wait at all.
  uint64_t start = sim::VirtualNowMs();
  WriteThenRead(rig, 5);
  EXPECT_EQ(sim::VirtualNowMs(), start);
  EXPECT_EQ(rig.Link().wait_seconds, 5);
  // Pending, then signalled: the signal ends the wait.
  sim::AspiManagerSetCompletion(sim::AspiCompletion::SIGNALLED);
  WriteThenRead(rig, 5);
  EXPECT_EQ(sim::VirtualNowMs(), start);
  // Refused, then signalled: the status the library set fails the phase.
  camera_.fail_command = camera_.Pipe().size() + 1;
  camera_.failure = sim::ScsiOutcome::CHECK_CONDITION;
  EXPECT_EQ(StorageOpsTable().Write(&rig.Link(), std::array<uint8_t, 1>{6}), PORT_SCSI_ERROR);
}

}  // namespace
}  // namespace pelox::test
