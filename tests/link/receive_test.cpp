// The bounded receive on a serial line: a header announcing more than a
// serial frame may carry is refused before its payload is read.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <vector>

#include "link/packet.h"
#include "link/packet_io.h"
#include "serial_camera_fixture.h"

namespace pelox {
namespace {

constexpr uint8_t KIND_BIG = 61;
constexpr size_t BIG_SIZE = 3000;

class ReceiveTest : public SerialCameraTest {
 protected:
  void SetUp() override {
    SerialCameraTest::SetUp();
    camera.Model().RegisterReadableKind(
        KIND_BIG, [](uint64_t) { return std::optional(std::vector<uint8_t>(BIG_SIZE, 0x5A)); });
    Connect();
  }

  // Asks for the kind in large frames, which a serial camera then sends
  // with a 3000-byte payload.
  void RequestLargeFrames() {
    const std::array<uint8_t, 2> payload{REQUEST_READ_LARGE, KIND_BIG};
    std::array<uint8_t, 8> packet{};
    ASSERT_EQ(BuildCommandFrame(payload, packet, COMMAND_CAMERA), packet.size());
    ASSERT_EQ(SendPacket(packet, link), 1);
  }
};

TEST_F(ReceiveTest, AHeaderAnnouncing3000BytesIsRefusedWithTheRestUnread) {
  RequestLargeFrames();
  std::vector<uint8_t> buffer(FRAME_PAYLOAD_LARGE + PACKET_OVERHEAD);
  const Reception reception = ReceivePacket(buffer, TIMEOUT_PACKET, FRAME_PAYLOAD_LARGE, link);
  EXPECT_TRUE(reception.oversized);
  EXPECT_FALSE(reception.complete);
  EXPECT_EQ(reception.received, PACKET_HEADER_SIZE);
  EXPECT_EQ(buffer[PACKET_HEADER_SIZE], 0) << "nothing past the header was read";
  std::vector<uint8_t> rest(BIG_SIZE + PACKET_CHECKSUM_SIZE);
  EXPECT_EQ(PortRead(link, rest, TIMEOUT_PACKET), static_cast<int32_t>(rest.size()))
      << "the payload is still on the line";
}

TEST_F(ReceiveTest, AChunkReadOfOversizedFramesGivesUpWithoutOverrun) {
  link->large_blocks = 1;
  std::vector<uint8_t> destination(FRAME_PAYLOAD_LARGE);
  uint32_t delivered = 0;
  bool more = false;
  EXPECT_EQ(
      LinkReadChunk(true, delivered, more, destination, KIND_BIG, false, REQUEST_READ_LARGE, link),
      LINK_ERROR_NO_REPLY)
      << Trace();
  EXPECT_EQ(delivered, 0u);
  EXPECT_EQ(ControlBytesSent(CONTROL_CAN), 1u);
}

}  // namespace
}  // namespace pelox
