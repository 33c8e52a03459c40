#include <gtest/gtest.h>

#include "transport/discovery/device_table_internal.h"

namespace pelox {
namespace {

class DeviceTableTest : public ::testing::Test {
 protected:
  void SetUp() override { DeviceTableReset(); }
  void TearDown() override { DeviceTableReset(); }
  static void AddDrive(char letter) {
    CameraDevice camera;
    camera.root = {letter, ':', '\\', '\0'};
    ASSERT_TRUE(DeviceTableAdd(camera));
  }
  const int owner_a_ = 0;
  const int owner_b_ = 0;
};

TEST_F(DeviceTableTest, TheTableKeepsThirtyTwoCamerasAndIgnoresMore) {
  for (int32_t i = 0; i < DEVICE_TABLE_CAPACITY; ++i) {
    CameraDevice camera;
    camera.target = static_cast<uint8_t>(i);
    EXPECT_TRUE(DeviceTableAdd(camera));
  }
  CameraDevice extra;
  extra.target = 99;
  EXPECT_FALSE(DeviceTableAdd(extra));
  EXPECT_EQ(DeviceCount(), DEVICE_TABLE_CAPACITY);
  EXPECT_EQ(DeviceTableEntry(DEVICE_TABLE_CAPACITY - 1)->target, DEVICE_TABLE_CAPACITY - 1);
  EXPECT_EQ(DeviceTableEntry(DEVICE_TABLE_CAPACITY), nullptr);
  EXPECT_EQ(DeviceTableEntry(-1), nullptr);
}

TEST_F(DeviceTableTest, ClaimsByDriveLetterSurviveAReorderedDiscovery) {
  AddDrive('F');
  ASSERT_EQ(DeviceClaimFirstFree(ClaimBy::DRIVE_LETTER, &owner_a_), 0);
  EXPECT_EQ(DevicesInUse(), 1u << ('F' - 'A'));
  // Another link's discovery finds a new camera on E:, ahead of F:.
  DeviceTableClear();
  AddDrive('E');
  AddDrive('F');
  EXPECT_EQ(DeviceClaimFirstFree(ClaimBy::DRIVE_LETTER, &owner_b_), 0);
  // The first link lets go of F:, not of the E: that now sits at its old index.
  DeviceReleaseClaims(&owner_a_);
  EXPECT_EQ(DevicesInUse(), 1u << ('E' - 'A'));
  EXPECT_TRUE(DeviceHoldsClaim(&owner_b_));
  EXPECT_FALSE(DeviceHoldsClaim(&owner_a_));
}

TEST_F(DeviceTableTest, ClaimsByIndexGoToTheLowestFreeEntry) {
  for (int32_t i = 0; i < 3; ++i) DeviceTableAdd(CameraDevice{});
  EXPECT_EQ(DeviceClaimFirstFree(ClaimBy::TABLE_INDEX, &owner_a_), 0);
  EXPECT_EQ(DeviceClaimFirstFree(ClaimBy::TABLE_INDEX, &owner_b_), 1);
  DeviceReleaseClaims(&owner_a_);
  EXPECT_EQ(DeviceClaimFirstFree(ClaimBy::TABLE_INDEX, &owner_a_), 0);
  EXPECT_EQ(DeviceClaimFirstFree(ClaimBy::TABLE_INDEX, &owner_a_), 2);
  EXPECT_EQ(DeviceClaimFirstFree(ClaimBy::TABLE_INDEX, &owner_b_), -1);
  EXPECT_EQ(DevicesInUse(), 0b111u);
}

}  // namespace
}  // namespace pelox
