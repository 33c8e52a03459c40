// Finding and claiming cameras through each variant.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>

#include "sim/storage/aspi_manager.h"
#include "sim/storage/card_reader.h"
#include "sim/storage/pass_through_drives.h"
#include "sim/storage/sg_devices.h"
#include "tests/transport/storage/recording_device.h"
#include "tests/transport/storage/variant_rig.h"
#include "transport/discovery/camera_vendor.h"
#include "transport/discovery/device_table_internal.h"
#include "transport/port/port.h"
#include "transport/storage/storage_ops.h"

namespace pelox::test {
namespace {

using ::testing::Contains;
using ::testing::Not;

class CameraDiscoveryTest : public ::testing::TestWithParam<Variant> {
 protected:
  RecordingDevice& AddCamera(const std::string& vendor = "PELOX") {
    RecordingDevice& camera = cameras_.emplace_back(vendor);
    rig_.Attach(camera);
    return camera;
  }
  int32_t Close(CameraLink& link) { return StorageOpsTable().Close(&link); }

  std::deque<RecordingDevice> cameras_;
  VariantRig rig_{GetParam()};
};

TEST_P(CameraDiscoveryTest, LinksClaimTheCamerasInDiscoveryOrder) {
  RecordingDevice& first = AddCamera("PELOX");
  RecordingDevice& second = AddCamera("EPSON");
  CameraLink& other = rig_.AddLink();
  CameraLink& third = rig_.AddLink();

  ASSERT_EQ(rig_.Open(), PORT_TYPE_STORAGE);
  EXPECT_EQ(rig_.Link().vendor_code, VENDOR_PELOX);
  EXPECT_EQ(rig_.Link().large_blocks, 1);
  ASSERT_EQ(rig_.Open(other), PORT_TYPE_STORAGE);
  EXPECT_EQ(other.vendor_code, VENDOR_EPSON);
  EXPECT_EQ(DeviceCount(), 2);
  EXPECT_EQ(rig_.Open(third), PORT_FAILED) << "every camera is claimed";

  // Each link talks to its own camera.
  first.ClearPipe();
  second.ClearPipe();
  ASSERT_EQ(StorageOpsTable().Write(&other, std::array<uint8_t, 1>{6}), 1);
  EXPECT_TRUE(first.Pipe().empty());
  EXPECT_EQ(second.Pipe().size(), 3u);

  // A claim given back goes to the next link that opens.
  EXPECT_EQ(Close(rig_.Link()), 1);
  ASSERT_EQ(rig_.Open(third), PORT_TYPE_STORAGE);
  EXPECT_EQ(third.vendor_code, VENDOR_PELOX);
  EXPECT_EQ(Close(other), 1);
  EXPECT_EQ(Close(third), 1);
  EXPECT_EQ(DevicesInUse(), 0u);
}

TEST_P(CameraDiscoveryTest, DevicesOfOtherMakersAreSkipped) {
  sim::CardReader reader("Generic");
  sim::CardReader near_miss("PELO");
  rig_.Attach(reader);
  rig_.Attach(near_miss);
  EXPECT_EQ(rig_.Open(), PORT_FAILED);
  EXPECT_EQ(DiscoverySystemError(), DISCOVERY_ERROR_NOT_READY);
  EXPECT_EQ(reader.CommandCount(), 1) << "one INQUIRY, nothing more";

  AddCamera("olympus");
  ASSERT_EQ(rig_.Open(), PORT_TYPE_STORAGE);
  EXPECT_EQ(rig_.Link().vendor_code, VENDOR_OLYMPUS);
  EXPECT_EQ(DeviceCount(), 1);
}

TEST_P(CameraDiscoveryTest, MoreCamerasThanTheTableHoldsAreIgnored) {
  if (GetParam() == Variant::PASS_THROUGH) GTEST_SKIP() << "drive letters run out first";
  for (int32_t adapter = 1; adapter < 6; ++adapter) sim::AspiManagerAddAdapter();
  for (int32_t i = 0; i < 40; ++i) {
    RecordingDevice& camera = cameras_.emplace_back("PELOX");
    if (GetParam() == Variant::ASPI) {
      sim::AspiManagerAttach(static_cast<uint8_t>(i / 8), static_cast<uint8_t>(i % 8), 0, camera);
    } else {
      rig_.Attach(camera);
    }
  }
  ASSERT_EQ(rig_.Open(), PORT_TYPE_STORAGE);
  EXPECT_EQ(DeviceCount(), DEVICE_TABLE_CAPACITY);
}

TEST_P(CameraDiscoveryTest, FindingNoCameraLeavesNotReady) {
  EXPECT_EQ(rig_.Open(), PORT_FAILED);
  EXPECT_EQ(DiscoverySystemError(), DISCOVERY_ERROR_NOT_READY);
  EXPECT_EQ(DeviceCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, CameraDiscoveryTest, EVERY_VARIANT, VariantTestName);

TEST(PassThroughDiscoveryTest, OnlyRemovableDrivesOtherThanAAreProbed) {
  VariantRig rig(Variant::PASS_THROUGH);
  RecordingDevice floppy_camera("PELOX");
  RecordingDevice fixed_camera("PELOX");
  RecordingDevice optical_camera("PELOX");
  RecordingDevice camera("PELOX");
  sim::PassThroughDriveAdd({'A', DRIVE_TYPE_REMOVABLE, &floppy_camera});
  sim::PassThroughDriveAdd({'D', sim::DRIVE_FIXED, &fixed_camera});
  sim::PassThroughDriveAdd({'G', sim::DRIVE_CDROM, &optical_camera});
  sim::PassThroughDriveAdd({'H', DRIVE_TYPE_REMOVABLE, &camera});
  ASSERT_EQ(rig.Open(), PORT_TYPE_STORAGE);
  EXPECT_EQ(sim::PassThroughErrorMode(), ERROR_MODE_FAIL_CRITICAL);
  EXPECT_THAT(sim::PassThroughOpenedNames(), Not(Contains("\\\\.\\A:")));
  EXPECT_THAT(sim::PassThroughOpenedNames(), Not(Contains("\\\\.\\C:")));
  EXPECT_THAT(sim::PassThroughOpenedNames(), Not(Contains("\\\\.\\D:")));
  EXPECT_THAT(sim::PassThroughOpenedNames(), Not(Contains("\\\\.\\G:")));
  EXPECT_EQ(sim::PassThroughOpenedNames().back(), "\\\\.\\H:");
  EXPECT_EQ(sim::PassThroughOpenHandles(), 1) << "only the claimed drive stays open";
  EXPECT_EQ(StorageOpsTable().Close(&rig.Link()), 1);
  EXPECT_EQ(sim::PassThroughOpenHandles(), 0);
}

TEST(PassThroughDiscoveryTest, ACameraIsFoundWithEveryDriveLetterInUse) {
  VariantRig rig(Variant::PASS_THROUGH);
  std::deque<sim::CardReader> readers;
  for (char letter = 'D'; letter < 'Z'; ++letter) {
    sim::PassThroughDriveAdd({letter, DRIVE_TYPE_REMOVABLE, &readers.emplace_back("Generic")});
  }
  RecordingDevice camera("PELOX");
  sim::PassThroughDriveAdd({'Z', DRIVE_TYPE_REMOVABLE, &camera});
  sim::PassThroughDriveAdd({'A', sim::DRIVE_FIXED, nullptr});
  sim::PassThroughDriveAdd({'B', sim::DRIVE_FIXED, nullptr});
  EXPECT_EQ(rig.Open(), PORT_TYPE_STORAGE);
}

TEST(PassThroughDiscoveryTest, TheInquiryCarriesNoBytesOfTheLastPhase) {
  VariantRig rig(Variant::PASS_THROUGH);
  RecordingDevice camera("PELOX");
  rig.Attach(camera);
  ASSERT_EQ(rig.Open(), PORT_TYPE_STORAGE);
  ASSERT_EQ(StorageOpsTable().Write(&rig.Link(), std::vector<uint8_t>(300, 1)), 1);
  // Opening again runs discovery with the block the phases used.
  ASSERT_EQ(StorageOpsTable().Close(&rig.Link()), 1);
  struct InquiryWatch : sim::ScsiDevice {
    sim::ScsiOutcome Execute(const sim::ScsiCommand& command) override {
      cdb.assign(command.cdb.begin(), command.cdb.end());
      return sim::ScsiOutcome::CHECK_CONDITION;
    }
    std::vector<uint8_t> cdb;
  } watch;
  sim::PassThroughDrivesReset();
  sim::PassThroughDriveAdd({'E', DRIVE_TYPE_REMOVABLE, &watch});
  EXPECT_EQ(rig.Open(), PORT_FAILED);
  EXPECT_EQ(watch.cdb, (std::vector<uint8_t>{0x12, 0, 0, 0, 36, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(AspiDiscoveryTest, OnlyLunZeroOfEachTargetIsAsked) {
  VariantRig rig(Variant::ASPI);
  RecordingDevice camera("PELOX");
  sim::AspiManagerAttach(0, 3, 1, camera);
  EXPECT_EQ(rig.Open(), PORT_FAILED);
  sim::AspiManagerAttach(0, 3, 0, camera);
  EXPECT_EQ(rig.Open(), PORT_TYPE_STORAGE);
  EXPECT_EQ(DeviceTableEntry(0)->target, 3);
}

TEST(AspiDiscoveryTest, AManagerThatIsNotReadyFindsNothing) {
  VariantRig rig(Variant::ASPI);
  RecordingDevice camera("PELOX");
  rig.Attach(camera);
  sim::AspiManagerInstall({.support_status = 0xE8});
  EXPECT_EQ(rig.Open(), PORT_FAILED);
  EXPECT_EQ(DiscoverySystemError(), DISCOVERY_ERROR_NOT_READY);
  EXPECT_EQ(sim::AspiManagerExecuteCount(), 0);
}

TEST(SgDiscoveryTest, DevicesThatMayNotBeOpenedAreReportedAndSkipped) {
  VariantRig rig(Variant::SG_IO);
  RecordingDevice camera("PELOX");
  sim::SgDeviceAdd({"/dev/sg0", nullptr, true});
  sim::SgDeviceAdd({"/dev/sg1", nullptr, false});
  sim::SgDeviceAdd({"/dev/sdc", nullptr, true});
  EXPECT_EQ(rig.Open(), PORT_FAILED);
  EXPECT_EQ(DiscoveryDeniedCount(), 2);
  EXPECT_EQ(DiscoveryFirstDenied(), "/dev/sg0");

  sim::SgDeviceAdd({"/dev/sg2", &camera, false});
  EXPECT_EQ(rig.Open(), PORT_TYPE_STORAGE);
  EXPECT_EQ(DeviceTableEntry(0)->path, "/dev/sg2");
  EXPECT_EQ(DiscoveryDeniedCount(), 2) << "a later discovery reports afresh";
  EXPECT_EQ(sim::SgOpenHandles(), 1);
}

}  // namespace
}  // namespace pelox::test
