// The camera link over the storage pipe, through every variant, against the
// virtual camera's storage face.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <string>
#include <vector>

#include "link/camera_link.h"
#include "link/error_text.h"
#include "sim/camera/camera_model.h"
#include "sim/storage/card_reader.h"
#include "tests/transport/storage/storage_camera.h"
#include "tests/transport/storage/variant_rig.h"
#include "transport/discovery/device_table_internal.h"
#include "transport/port/port.h"

namespace pelox::test {
namespace {

class StorageLinkTest : public ::testing::TestWithParam<Variant> {
 protected:
  void SetUp() override {
    PortResetState();
    LinkDestroyAll();
    rig_.Attach(camera_.face);
    link_ = LinkCreate();
    ASSERT_NE(link_, nullptr);
  }
  void TearDown() override {
    if (link_->state != LINK_STATE_CLOSED) LinkConnect(LINK_DISCONNECT, link_);
    LinkDestroyAll();
    PortResetState();
  }
  void Connect() {
    ASSERT_EQ(LinkOpenPort(LINK_PORT_AUTOMATIC, link_), PORT_TYPE_STORAGE);
    ASSERT_EQ(LinkConnect(LINK_CONNECT, link_), LINK_OK) << LinkErrorText(LinkLastError(link_));
    camera_.camera.Log().Clear();
  }
  std::string Trace() const { return camera_.camera.Log().Describe(); }
  // The data-out phases carrying packets, as the camera's storage face saw them.
  std::vector<size_t> PacketPhases() const {
    std::vector<size_t> lengths;
    for (const sim::CdbRecord& record : camera_.face.Cdbs()) {
      if (record.direction == sim::DataDirection::OUT && record.transfer_length > 64 + 1) {
        lengths.push_back(record.transfer_length);
      }
    }
    return lengths;
  }

  VariantRig rig_{GetParam()};
  StorageCamera camera_;
  CameraLink* link_ = nullptr;
};

TEST_P(StorageLinkTest, FindingThePortLeavesThePipeClosedAndConnectingSendsNoPacket) {
  EXPECT_EQ(LinkOpenPort(LINK_PORT_AUTOMATIC, link_), PORT_TYPE_STORAGE);
  EXPECT_EQ(link_->state, LINK_STATE_CLOSED);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE);
  EXPECT_EQ(DevicesInUse(), 0u);
  EXPECT_EQ(camera_.face.CloseCount(), 1);
  camera_.camera.Log().Clear();

  EXPECT_EQ(LinkConnect(LINK_CONNECT, link_), LINK_OK);
  EXPECT_EQ(link_->state, LINK_STATE_READY);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_STORAGE);
  EXPECT_TRUE(camera_.camera.Log().Entries().empty()) << Trace();
  EXPECT_EQ(link_->large_blocks, 1);
  EXPECT_EQ(camera_.face.ProtocolErrors(), 0);
}

TEST_P(StorageLinkTest, ADiskOfACameraMakerThatIsNoCameraIsPassedOver) {
  VariantRig rig(GetParam());
  // A maker whose cameras take a close command: the disk must not get it.
  constexpr uint8_t EPSON_CLOSE = 0xD5;
  sim::CardReader disk("EPSON");
  StorageCamera camera;
  rig.Attach(disk);
  rig.Attach(camera.face);
  CameraLink* link = LinkCreate();
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(LinkOpenPort(PORT_TYPE_STORAGE, link), PORT_TYPE_STORAGE);
  ASSERT_EQ(LinkConnect(LINK_CONNECT, link), LINK_OK);
  EXPECT_EQ(LinkGetValue(sim::PROPERTY_BATTERY, false, link), 100);
  EXPECT_EQ(LinkConnect(LINK_DISCONNECT, link), LINK_OK);

  // A second search while the camera is held finds nothing more.
  ASSERT_EQ(LinkOpenPort(PORT_TYPE_STORAGE, link), PORT_TYPE_STORAGE);
  ASSERT_EQ(LinkConnect(LINK_CONNECT, link), LINK_OK);
  CameraLink* second = LinkCreate();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(LinkOpenPort(PORT_TYPE_STORAGE, second), LINK_PORT_NOT_FOUND);
  EXPECT_EQ(camera.face.ProtocolErrors(), 0);
  EXPECT_EQ(std::ranges::count(disk.Opcodes(), EPSON_CLOSE), 0);
  LinkConnect(LINK_DISCONNECT, link);
  LinkDelete(second);
  LinkDelete(link);
}

TEST_P(StorageLinkTest, GetsSetsAndBlockReadsReachTheCamera) {
  Connect();
  EXPECT_EQ(LinkGetValue(sim::PROPERTY_BATTERY, false, link_), 100) << Trace();
  EXPECT_EQ(LinkSetValue(sim::PROPERTY_UPLOAD_KEY, sim::FIRMWARE_UPLOAD_KEY, link_), LINK_OK)
      << Trace();
  EXPECT_EQ(LinkGetValue(sim::PROPERTY_UPLOAD_KEY, false, link_),
            static_cast<int32_t>(sim::FIRMWARE_UPLOAD_KEY));
  std::array<uint8_t, 32> maker{};
  EXPECT_EQ(LinkReadBlock(sim::KIND_MAKER, maker, link_), LINK_OK) << Trace();
  EXPECT_EQ(std::string(maker.begin(), std::find(maker.begin(), maker.end(), 0)), "PELOX CO.,LTD.");
  EXPECT_EQ(camera_.face.ProtocolErrors(), 0) << Trace();
}

TEST_P(StorageLinkTest, AKind29WriteTravelsInLargeFramesWithoutChecksum) {
  Connect();
  ASSERT_EQ(LinkSetValue(sim::PROPERTY_UPLOAD_KEY, sim::FIRMWARE_UPLOAD_KEY, link_), LINK_OK);
  std::vector<uint8_t> image(100000);
  std::iota(image.begin(), image.end(), uint8_t{7});
  const size_t before = PacketPhases().size();
  ASSERT_EQ(LinkWriteData(sim::KIND_FIRMWARE, image, link_), LINK_OK) << Trace();

  // Packets of 32768 payload bytes (the first with the request's two bytes)
  // and the rest, each with its 6 bytes of framing and the 64-byte header.
  std::vector<size_t> phases = PacketPhases();
  phases.erase(phases.begin(), phases.begin() + static_cast<ptrdiff_t>(before));
  EXPECT_THAT(phases, ::testing::ElementsAre(64 + 6 + 32768, 64 + 6 + 32768, 64 + 6 + 32768,
                                             64 + 6 + 1698));
  for (const sim::LogEntry& entry : camera_.camera.Log().Entries()) {
    if (entry.direction != sim::Direction::FROM_HOST || entry.bytes.size() < 1000) continue;
    EXPECT_EQ(entry.bytes[entry.bytes.size() - 2], 0xFF);
    EXPECT_EQ(entry.bytes.back(), 0xFF);
  }
  const sim::FirmwareStatement& statement = camera_.camera.Model().Firmware().Statement();
  EXPECT_TRUE(statement.transfer_complete);
  EXPECT_EQ(statement.bytes_received, image.size());
  EXPECT_EQ(camera_.camera.Model().Firmware().Image(), image);
  EXPECT_EQ(camera_.face.ProtocolErrors(), 0) << Trace();
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, StorageLinkTest, EVERY_VARIANT, VariantTestName);

}  // namespace
}  // namespace pelox::test
