// The firmware commands, and an object read, over the storage pipe through
// every variant: large frames for firmware data, large chunks for reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "commands/camera_commands.h"
#include "link/error_text.h"
#include "link/link_info.h"
#include "platform/file.h"
#include "sim/camera/wire.h"
#include "sim/vocabulary/command_vocabulary.h"
#include "tests/byte_pattern.h"
#include "tests/commands/camera_checks.h"
#include "tests/temp_path.h"
#include "tests/transport/storage/storage_camera.h"
#include "tests/transport/storage/variant_rig.h"
#include "transport/port/port.h"

namespace pelox::test {
namespace {

class CommandsOnStoragePipe : public ::testing::TestWithParam<Variant> {
 protected:
  void SetUp() override {
    PortResetState();
    LinkDestroyAll();
    rig_.Attach(camera_.face);
    link_ = LinkCreate();
    ASSERT_NE(link_, nullptr);
    ASSERT_EQ(LinkOpenPort(LINK_PORT_AUTOMATIC, link_), PORT_TYPE_STORAGE);
    ASSERT_EQ(LinkConnect(LINK_CONNECT, link_), LINK_OK) << LinkErrorText(LinkLastError(link_));
    path_ = test::UniqueTempPath("pelox_storage_firmware_" + VariantName(GetParam()));
  }
  void TearDown() override {
    if (LinkCurrentState(link_) != LINK_STATE_CLOSED) LinkConnect(LINK_DISCONNECT, link_);
    LinkDestroyAll();
    PortResetState();
    std::filesystem::remove(path_);
  }
  // Writes the bytes to a file and opens it for reading.
  FileHandle FirmwareFile(const std::vector<uint8_t>& bytes) {
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    uint32_t error = 0;
    return FileOpenRead(path_.string().c_str(), error);
  }
  // The payload sizes of the firmware frames the camera took.
  std::vector<size_t> FirmwareFrames() const {
    std::vector<size_t> sizes;
    for (const sim::LogEntry& entry : camera_.camera.Log().Entries()) {
      const auto frame = sim::DecodeFrame(entry.bytes);
      if (entry.direction != sim::Direction::FROM_HOST || !frame) continue;
      const bool large_write = frame->type == sim::FRAME_COMMAND && frame->payload.size() > 2 &&
                               frame->payload[0] == sim::REQUEST_WRITE_LARGE;
      if (large_write || frame->type != sim::FRAME_COMMAND) sizes.push_back(frame->payload.size());
    }
    return sizes;
  }

  VariantRig rig_{GetParam()};
  StorageCamera camera_;
  sim::CommandVocabulary vocabulary_{camera_.camera.Model()};
  CameraLink* link_ = nullptr;
  std::filesystem::path path_;
};

TEST_P(CommandsOnStoragePipe, CameraChecksReadTheCamera) { ExpectFreshCameraChecks(link_); }

TEST_P(CommandsOnStoragePipe, A5000ByteFileGoesAsOneLargeFrame) {
  const std::vector<uint8_t> bytes = Pattern(5000);
  FileHandle file = FirmwareFile(bytes);
  ASSERT_NE(file, nullptr);
  camera_.camera.Log().Clear();
  ASSERT_EQ(CameraUploadFirmwareFile(file, FIRMWARE_FILE_UPLOAD_KEY, link_), LINK_OK);
  FileClose(file);
  EXPECT_EQ(FirmwareFrames(), (std::vector<size_t>{2 + 5000}));
  EXPECT_EQ(camera_.camera.Model().Firmware().Image(), bytes);
}

TEST_P(CommandsOnStoragePipe, TheLargestFileArrivesWhole) {
  std::vector<uint8_t> bytes = Pattern(FIRMWARE_FILE_MAX_SIZE);
  FileHandle file = FirmwareFile(bytes);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(CameraUploadFirmwareFile(file, FIRMWARE_FILE_UPLOAD_KEY, link_), LINK_OK);
  FileClose(file);
  EXPECT_TRUE(camera_.camera.Model().Firmware().Image() == bytes);
  EXPECT_EQ(camera_.camera.Model().Firmware().Statement().bytes_received, bytes.size());
}

TEST_P(CommandsOnStoragePipe, AnImageIsSentWithItsKey) {
  const std::vector<uint8_t> image = Pattern(100000);
  ASSERT_EQ(CameraUploadFirmwareImage(image, link_), LINK_OK);
  EXPECT_TRUE(camera_.camera.Model().Firmware().Image() == image);
  EXPECT_EQ(static_cast<uint32_t>(CameraGetUploadKey(link_)), FIRMWARE_IMAGE_UPLOAD_KEY);
}

TEST_P(CommandsOnStoragePipe, ObjectsAreReadInLargeChunks) {
  sim::SimObject object;
  object.data = Pattern(70000);
  vocabulary_.AddObject(2, object);
  std::vector<uint8_t> buffer(70000);
  camera_.camera.Log().Clear();
  ASSERT_EQ(CameraReadObject(buffer, 2, link_), LINK_OK);
  EXPECT_TRUE(buffer == object.data);
  const auto& entries = camera_.camera.Log().Entries();
  EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const sim::LogEntry& entry) {
    const auto frame = sim::DecodeFrame(entry.bytes);
    return entry.direction == sim::Direction::FROM_HOST && frame &&
           frame->type == sim::FRAME_COMMAND && frame->payload.size() == 2 &&
           frame->payload[0] == sim::REQUEST_READ_LARGE && frame->payload[1] == DATA_KIND_OBJECT;
  }));
}

TEST_P(CommandsOnStoragePipe, RefusalsGiveTheCamerasError) {
  ExpectRefusalsGiveTheCamerasError(camera_.camera, link_);
}

TEST_P(CommandsOnStoragePipe, GeneratedPicturesArriveWhole) {
  ExpectGeneratedPicturesArrive(vocabulary_, link_);
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, CommandsOnStoragePipe, EVERY_VARIANT, VariantTestName);

}  // namespace
}  // namespace pelox::test
