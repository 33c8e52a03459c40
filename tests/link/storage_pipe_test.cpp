// The link over the storage pipe (the SG_IO variant on the simulated
// platform) against the virtual camera's storage face: port search and
// connection, large frames, the checksum rule of the camera's own maker,
// transport failures, and the reconnection budget shared for the link's life.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "link/camera_link.h"
#include "link/error_text.h"
#include "link/link_record.h"
#include "platform/file.h"
#include "sim/camera/virtual_camera.h"
#include "sim/storage/aspi_manager.h"
#include "sim/storage/os_version.h"
#include "sim/storage/sg_devices.h"
#include "sim/storage/storage_face.h"
#include "sim/virtual_clock.h"
#include "tests/byte_pattern.h"
#include "tests/temp_path.h"
#include "transport/discovery/camera_vendor.h"
#include "transport/discovery/device_table.h"
#include "transport/port/port.h"
#include "transport/storage/storage_init.h"

namespace pelox {
namespace {

using sim::FaultKind;
using sim::FaultTarget;

constexpr OsVersion LINUX{OS_PLATFORM_LINUX, 6, 1};
constexpr OsVersion WINDOWS_98{OS_PLATFORM_WINDOWS_9X, 4, 10};
constexpr uint8_t PROPERTY_OBJECT = 4;
constexpr uint8_t PROPERTY_BATTERY = 16;
constexpr uint8_t PROPERTY_UPLOAD_KEY = 32;
constexpr uint8_t PROPERTY_OBJECT_SIZE = 40;
constexpr uint8_t KIND_FIRMWARE = 29;
constexpr uint8_t KIND_OTHER = 31;
constexpr uint8_t KIND_READ = 60;
constexpr size_t WRITE_SIZE = 100000;
constexpr uint32_t ALWAYS = 100;

void ResetStoragePlatform() {
  LinkDestroyAll();
  StorageResetState();
  DeviceTableReset();
  sim::SgDevicesReset();
  sim::AspiManagerReset();
  sim::SimOsVersionReset();
  sim::VirtualClockReset(1000);
  PortResetState();
}

using test::Pattern;

class StoragePipeTest : public testing::Test {
 protected:
  void SetUp() override {
    ResetStoragePlatform();
    sim::SimOsVersionSet(LINUX);
    sim::SgDeviceAdd({"/dev/sg1", &face, false});
    StorageTransportInit(STORAGE_INIT_REQUEST);
    camera.Model().RegisterWritableKind(KIND_OTHER,
                                        [](std::span<const uint8_t>, uint64_t) { return true; });
    camera.Model().RegisterReadableKind(KIND_READ,
                                        [](uint64_t) { return std::optional(Pattern(5000)); });
    link = LinkCreate();
    ASSERT_NE(link, nullptr);
  }
  void TearDown() override { ResetStoragePlatform(); }

  void Connect() {
    ASSERT_EQ(LinkOpenPort(PORT_TYPE_STORAGE, link), PORT_TYPE_STORAGE);
    ASSERT_EQ(LinkConnect(LINK_CONNECT, link), LINK_OK) << LinkErrorText(LinkLastError(link));
    camera.Log().Clear();
  }

  void AddFault(FaultKind kind, FaultTarget target, uint32_t times = 1) {
    camera.Faults().Add(sim::FaultRule{.kind = kind,
                                       .target = target,
                                       .id = -1,
                                       .occurrence = 1,
                                       .times = times,
                                       .argument_ms = 0});
  }

  std::vector<std::vector<uint8_t>> HostFrames() {
    std::vector<std::vector<uint8_t>> frames;
    for (const sim::LogEntry& entry : camera.Log().Entries()) {
      if (entry.direction == sim::Direction::FROM_HOST && entry.bytes.size() > 6) {
        frames.push_back(entry.bytes);
      }
    }
    return frames;
  }

  std::string Trace() { return camera.Log().Describe(); }

  sim::VirtualCamera camera;
  sim::StorageFace face{camera.Endpoint(), camera.Log(), "PELOX   ",
                        sim::StorageFaceClock{.now_ms = [] { return sim::VirtualNowMs(); },
                                              .wait_until_ms =
                                                  [](uint64_t until) {
                                                    const uint64_t now = sim::VirtualNowMs();
                                                    if (until > now)
                                                      sim::VirtualAdvanceMs(until - now);
                                                  }}};
  CameraLink* link = nullptr;
};

TEST_F(StoragePipeTest, AutomaticSearchFindsThePipeFirstAndConnectingSendsNoPacket) {
  EXPECT_EQ(LinkOpenPort(LINK_PORT_AUTOMATIC, link), PORT_TYPE_STORAGE);
  EXPECT_EQ(link->state, LINK_STATE_CLOSED);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE) << "the pipe is left closed";
  EXPECT_EQ(HostFrames().size(), 1u) << "the camera answered a get in the search";
  camera.Log().Clear();
  EXPECT_EQ(LinkConnect(LINK_CONNECT, link), LINK_OK);
  EXPECT_EQ(link->state, LINK_STATE_READY);
  EXPECT_EQ(link->vendor_code, VENDOR_PELOX);
  EXPECT_EQ(link->large_blocks, 1);
  EXPECT_TRUE(HostFrames().empty()) << Trace();
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
}

TEST_F(StoragePipeTest, AFirmwareWriteGoesInLargeFramesWithoutChecksum) {
  Connect();
  const std::vector<uint8_t> image = Pattern(WRITE_SIZE);
  ASSERT_EQ(LinkWriteData(KIND_FIRMWARE, image, link), LINK_OK) << Trace();
  const std::vector<std::vector<uint8_t>> frames = HostFrames();
  ASSERT_EQ(frames.size(), 4u) << Trace();
  EXPECT_EQ(frames[0][0], 0x1B);
  EXPECT_EQ(frames[0][4], 0x05);
  EXPECT_EQ(frames[0][5], KIND_FIRMWARE);
  EXPECT_EQ(frames[0].size(), 32768u + 6);
  EXPECT_EQ((std::vector<uint8_t>{frames[1][0], frames[1][1]}), (std::vector<uint8_t>{0x02, 0}));
  EXPECT_EQ((std::vector<uint8_t>{frames[2][0], frames[2][1]}), (std::vector<uint8_t>{0x02, 1}));
  EXPECT_EQ((std::vector<uint8_t>{frames[3][0], frames[3][1]}), (std::vector<uint8_t>{0x03, 2}));
  EXPECT_EQ(frames[3].size(), 1698u + 6);
  for (const std::vector<uint8_t>& frame : frames) {
    EXPECT_EQ(frame[frame.size() - 2], 0xFF);
    EXPECT_EQ(frame[frame.size() - 1], 0xFF);
  }
  EXPECT_EQ(camera.Model().Firmware().Statement().bytes_received, WRITE_SIZE);
}

TEST_F(StoragePipeTest, OtherKindsAreWrittenInSmallFramesWithChecksum) {
  Connect();
  ASSERT_EQ(LinkWriteData(KIND_OTHER, Pattern(WRITE_SIZE), link), LINK_OK) << Trace();
  const std::vector<std::vector<uint8_t>> frames = HostFrames();
  ASSERT_EQ(frames.size(), 49u);
  EXPECT_EQ(frames[0][4], 0x03);
  EXPECT_EQ(frames[1].size(), 2048u + 6);
  EXPECT_NE(frames[1][2048 + 4], 0xFF);
}

TEST_F(StoragePipeTest, TheMakersOwnCameraHasGetRepliesAcceptedWithABadChecksum) {
  Connect();
  AddFault(FaultKind::WRONG_CHECKSUM, FaultTarget::GET);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
  // Another maker's reply with the same damage is a transport failure.
  link->vendor_code = VENDOR_EPSON;
  AddFault(FaultKind::WRONG_CHECKSUM, FaultTarget::GET);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), -1);
  EXPECT_EQ(link->last_error, LINK_ERROR_TRANSPORT);
  EXPECT_EQ(link->state, LINK_STATE_BROKEN);
}

TEST_F(StoragePipeTest, AReadFrameOneAheadInSequenceIsATransportFailure) {
  Connect();
  AddFault(FaultKind::WRONG_SEQUENCE, FaultTarget::READ_FRAME);
  std::vector<uint8_t> data(5000);
  EXPECT_EQ(LinkReadData(KIND_READ, data, 0, 0, link), LINK_ERROR_TRANSPORT) << Trace();
  EXPECT_EQ(link->state, LINK_STATE_BROKEN);
  // The next transaction reconnects: an abortable read asks for a restart.
  EXPECT_EQ(LinkReadData(KIND_READ, data, 0, 0, link), LINK_RESTART);
  EXPECT_EQ(LinkReadData(KIND_READ, data, 0, 0, link), LINK_OK) << Trace();
  EXPECT_EQ(data, Pattern(5000));
}

TEST_F(StoragePipeTest, EitherReadThatEndsBeforeItsTotalFailsAndTellsWhatArrived) {
  // The camera holds 5000 bytes but announces, or is asked for, 6000.
  camera.Model().RegisterProperty(PROPERTY_OBJECT, 0);
  camera.Model().RegisterProperty(PROPERTY_OBJECT_SIZE, 6000);
  const std::filesystem::path path = test::UniqueTempPath("pelox_short_read");
  uint32_t error = 0;
  FileHandle file = FileCreate(path.string().c_str(), error);
  ASSERT_NE(file, nullptr);
  Connect();
  std::vector<uint8_t> data(6000);
  EXPECT_EQ(LinkReadData(KIND_READ, data, 0, 0, link), LINK_ERROR_UNEXPECTED) << Trace();
  EXPECT_EQ(link->bytes_received, 5000u);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 5000, Pattern(5000).begin()));
  int32_t code = LinkReadObjectToFile(PROPERTY_OBJECT_SIZE, KIND_READ, file, 1, link);
  if (code == LINK_RESTART)
    code = LinkReadObjectToFile(PROPERTY_OBJECT_SIZE, KIND_READ, file, 1, link);
  EXPECT_EQ(code, LINK_ERROR_UNEXPECTED) << Trace();
  EXPECT_EQ(link->bytes_received, 5000u);
  FileClose(file);
  EXPECT_EQ(std::filesystem::file_size(path), 5000u);
  std::filesystem::remove(path);
}

TEST_F(StoragePipeTest, TheReconnectionBudgetIsSharedForTheLifeOfTheLink) {
  Connect();
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::SET, ALWAYS);
  EXPECT_EQ(LinkSetValue(PROPERTY_UPLOAD_KEY, 1, link), LINK_ERROR_CAMERA_GONE);
  EXPECT_EQ(link->retry_count, 4);
  // The camera answers again, but one more going away ends the next call.
  camera.Faults().Clear();
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::GET);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), -1);
  EXPECT_EQ(link->last_error, LINK_ERROR_CAMERA_GONE);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << "without 0xFF it still works";
}

TEST(AspiLinks, EachLinkHoldsTheLibraryUntilItIsDeleted) {
  ResetStoragePlatform();
  sim::AspiManagerInstall();
  sim::AspiManagerAddAdapter();
  sim::SimOsVersionSet(WINDOWS_98);
  StorageTransportInit(STORAGE_INIT_REQUEST);
  CameraLink* first = LinkCreate();
  CameraLink* second = LinkCreate();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first->exec_srb, nullptr);
  EXPECT_NE(first->completion_event, nullptr);
  StorageResetState();  // the table lets go of its own hold
  EXPECT_EQ(LinkDelete(first), LINK_OK);
  EXPECT_TRUE(sim::AspiManagerLoaded()) << "the second link still needs it";
  EXPECT_EQ(LinkDelete(second), LINK_OK);
  EXPECT_FALSE(sim::AspiManagerLoaded());
  ResetStoragePlatform();
}

}  // namespace
}  // namespace pelox
