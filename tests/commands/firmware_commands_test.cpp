// The uploader's commands against the virtual camera, with firmware files
// held in memory.
#include "commands/firmware_commands.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "platform/clock.h"
#include "sim/camera/wire.h"
#include "sim/virtual_clock.h"
#include "tests/byte_pattern.h"
#include "tests/commands/camera_checks.h"
#include "tests/commands/camera_fixture.h"
#include "tests/commands/fake_file.h"

namespace pelox {
namespace {

using Firmware = CommandsOnCamera;

const WireRequest KEY_SET{CLASS_SET, PROPERTY_UPLOAD_KEY, Le32Bytes(FIRMWARE_FILE_UPLOAD_KEY)};

// The payload sizes of the frames of the firmware write the camera took.
std::vector<size_t> FirmwareFrameSizes(const sim::CameraLog& log) {
  std::vector<size_t> sizes;
  for (const sim::LogEntry& entry : log.Entries()) {
    if (entry.direction != sim::Direction::FROM_HOST || entry.verdict != sim::Verdict::ACCEPTED) {
      continue;
    }
    const auto frame = sim::DecodeFrame(entry.bytes);
    if (!frame) continue;
    const bool write_start = frame->type == sim::FRAME_COMMAND && frame->payload.size() >= 2 &&
                             frame->payload[1] == DATA_KIND_FIRMWARE;
    if (write_start || frame->type != sim::FRAME_COMMAND) sizes.push_back(frame->payload.size());
  }
  return sizes;
}

TEST_F(Firmware, ChecksReadMakerVersionAndBattery) {
  ExpectFreshCameraChecks(link_);

  camera_.Model().RegisterProperty(PROPERTY_BATTERY_LEVEL, 101);
  uint32_t level = 55;
  EXPECT_EQ(CameraGetBatteryLevelChecked(level, link_), LINK_ERROR_UNEXPECTED);
  EXPECT_EQ(level, 55u) << "a refused answer is not handed out";
  EXPECT_EQ(CameraGetBatteryLevel(link_), -1);
  EXPECT_EQ(LinkLastError(link_), LINK_ERROR_UNEXPECTED);
}

TEST_F(Firmware, KeysThatLookLikeFailuresReadAsThemselvesApartFromTheCode) {
  for (const uint32_t key : {0xFFFFFFFFu, 0xFFFFFFFEu}) {
    ASSERT_EQ(CameraSetUploadKey(key, link_), LINK_OK);
    uint32_t read = 0;
    EXPECT_EQ(CameraGetUploadKeyChecked(read, link_), LINK_OK);
    EXPECT_EQ(read, key);
  }
}

TEST_F(Firmware, AFileOfTheLargestSizeArrivesByteForByte) {
  PlatformFile file{.bytes = test::Pattern(FIRMWARE_FILE_MAX_SIZE)};
  file.position = 1234;  // the transfer starts at the first byte wherever the file stood
  ASSERT_EQ(CameraUploadFirmwareFile(&file, FIRMWARE_FILE_UPLOAD_KEY, link_), LINK_OK);
  EXPECT_EQ(camera_.Model().Firmware().Image(), file.bytes);
  EXPECT_TRUE(camera_.Model().Firmware().Statement().transfer_complete);
  EXPECT_EQ(TakeRequests().front(), KEY_SET);
}

TEST_F(Firmware, AFileOneByteTooLargeIsRefusedAfterTheKey) {
  PlatformFile file{.bytes = test::Pattern(FIRMWARE_FILE_MAX_SIZE + 1)};
  EXPECT_EQ(CameraUploadFirmwareFile(&file, FIRMWARE_FILE_UPLOAD_KEY, link_), LINK_ERROR_COMMAND);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{KEY_SET}));
  EXPECT_EQ(camera_.Model().GetProperty(PROPERTY_UPLOAD_KEY, 0), FIRMWARE_FILE_UPLOAD_KEY);
}

TEST_F(Firmware, AnEmptyFileWritesTheKeyAndNothingElse) {
  PlatformFile file;
  EXPECT_EQ(CameraUploadFirmwareFile(&file, FIRMWARE_FILE_UPLOAD_KEY, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{KEY_SET}));
}

TEST_F(Firmware, FileFailuresSendNoData) {
  struct Case {
    const char* what;
    PlatformFile file;
    int32_t code;
  };
  Case cases[] = {
      {"size unknown", {.bytes = test::Pattern(100), .size_fails = true}, LINK_ERROR_COMMAND},
      {"no rewind", {.bytes = test::Pattern(100), .rewind_fails = true}, LINK_ERROR_INTERNAL},
      {"read fails", {.bytes = test::Pattern(100), .read_fails = true}, LINK_ERROR_INTERNAL},
      // Fewer bytes than the size: what was never read must not be sent.
      {"short read", {.bytes = test::Pattern(5000), .unreadable_tail = 1}, LINK_ERROR_INTERNAL},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CameraUploadFirmwareFile(&c.file, FIRMWARE_FILE_UPLOAD_KEY, link_), c.code);
    EXPECT_EQ(LinkLastError(link_), c.code);
    EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{KEY_SET}));
    EXPECT_FALSE(camera_.Model().Firmware().Statement().transfer_started);
  }
}

TEST_F(Firmware, AFailedKeyStopsTheUpload) {
  camera_.Faults().Add({.kind = sim::FaultKind::REFUSE,
                        .target = sim::FaultTarget::SET,
                        .id = PROPERTY_UPLOAD_KEY,
                        .times = 10});
  PlatformFile file{.bytes = test::Pattern(100)};
  EXPECT_NE(CameraUploadFirmwareFile(&file, FIRMWARE_FILE_UPLOAD_KEY, link_), LINK_OK);
  EXPECT_FALSE(camera_.Model().Firmware().Statement().transfer_started);
}

TEST_F(Firmware, SerialFramesCarry2046ThenUpTo2048Bytes) {
  PlatformFile file{.bytes = test::Pattern(5000)};
  ASSERT_EQ(CameraSendFirmwareFile(&file, link_), LINK_OK);
  EXPECT_EQ(FirmwareFrameSizes(camera_.Log()), (std::vector<size_t>{2048, 2048, 906}));
  EXPECT_EQ(camera_.Model().Firmware().Image(), file.bytes);
}

TEST_F(Firmware, ImagesUpToTenMebibytesAreSentWithTheImageKey) {
  const std::vector<uint8_t> image = test::Pattern(FIRMWARE_IMAGE_MAX_SIZE);
  ASSERT_EQ(CameraUploadFirmwareImage(image, link_), LINK_OK);
  EXPECT_EQ(camera_.Model().Firmware().Image().size(), image.size());
  EXPECT_TRUE(camera_.Model().Firmware().Image() == image);
  EXPECT_EQ(camera_.Model().GetProperty(PROPERTY_UPLOAD_KEY, 0), FIRMWARE_IMAGE_UPLOAD_KEY);
}

TEST_F(Firmware, AnImageOneByteTooLargeSendsNothingAtAll) {
  const std::vector<uint8_t> image(FIRMWARE_IMAGE_MAX_SIZE + 1);
  EXPECT_EQ(CameraUploadFirmwareImage(image, link_), LINK_ERROR_COMMAND);
  EXPECT_TRUE(TakeRequests().empty());
  EXPECT_EQ(camera_.Model().GetProperty(PROPERTY_UPLOAD_KEY, 0), 0u);
}

TEST_F(Firmware, ACallbackReturningZeroCancelsTheTransfer) {
  static int calls = 0;
  calls = 0;
  LinkSetProgressCallback([](void*, int32_t, int32_t) { return ++calls < 2 ? 1 : 0; }, nullptr,
                          link_);
  PlatformFile file{.bytes = test::Pattern(5000)};
  EXPECT_EQ(CameraUploadFirmwareFile(&file, FIRMWARE_FILE_UPLOAD_KEY, link_), LINK_ERROR_CANCELLED);
  EXPECT_EQ(calls, 2);
  EXPECT_LT(camera_.Model().Firmware().Image().size(), file.bytes.size());
}

// A firmware file whose header states its payload's length and byte sum.
std::vector<uint8_t> FirmwareFile(const std::string& version, size_t payload_size) {
  const std::vector<uint8_t> payload = test::Pattern(payload_size);
  const uint32_t sum = std::accumulate(payload.begin(), payload.end(), 0u);
  std::string header = "LENGTH=" + std::to_string(payload_size) + " VER=" + version +
                       " SUM=" + std::to_string(sum) + "\r";
  header.resize(96, ' ');
  std::vector<uint8_t> file(header.begin(), header.end());
  file.insert(file.end(), payload.begin(), payload.end());
  return file;
}

TEST_F(Firmware, TheWriteActionWaitsHalfASecondAndFlashesAWholeImage) {
  PlatformFile file{.bytes = FirmwareFile("v517-1.10", 40000)};
  ASSERT_EQ(CameraUploadFirmwareFile(&file, FIRMWARE_FILE_UPLOAD_KEY, link_), LINK_OK);
  camera_.Log().Clear();
  const uint64_t called_ms = sim::VirtualNowMs();
  EXPECT_EQ(CameraWriteFirmware(link_), LINK_OK);
  EXPECT_EQ(LinkCurrentState(link_), LINK_STATE_BUSY);
  EXPECT_EQ(BusyMsLeft(), FIRMWARE_WRITE_BUSY_MS);
  bool action_seen = false;
  for (const sim::LogEntry& entry : camera_.Log().Entries()) {
    const auto frame = sim::DecodeFrame(entry.bytes);
    if (entry.direction != sim::Direction::FROM_HOST || !frame || frame->payload.size() < 3 ||
        frame->payload[0] != 2) {
      continue;
    }
    action_seen = true;
    EXPECT_EQ(frame->payload[1], ACTION_WRITE_FIRMWARE);
    EXPECT_EQ(frame->payload[2], 0);
    EXPECT_GE(entry.time_ms, called_ms + FIRMWARE_WRITE_DELAY_MS);
  }
  EXPECT_TRUE(action_seen);

  while (LinkCheckAlive(link_) != 1 && sim::VirtualNowMs() < called_ms + 25000) ClockSleep(500);
  std::array<char, CAMERA_TEXT_SIZE> text{};
  ASSERT_EQ(CameraGetFirmwareVersion(text, link_), LINK_OK);
  EXPECT_STREQ(text.data(), "v517-1.10");
}

}  // namespace
}  // namespace pelox
