// The camera's serial face: cutting the byte stream into units and keeping
// to the agreed line speed.
#include "sim/camera/serial_face.h"

#include <gtest/gtest.h>

#include "sim/camera/virtual_camera.h"
#include "tests/sim/host_frames.h"

namespace pelox {
namespace {

using Bytes = std::vector<uint8_t>;

class SerialFaceTest : public ::testing::Test {
 protected:
  void Hear(std::span<const uint8_t> bytes, uint32_t baud = 19200) {
    camera_.Serial().Receive(bytes, baud, now_ms_);
  }
  std::vector<sim::LineBytes> Said() {
    std::vector<sim::LineBytes> said;
    while (auto bytes = camera_.Serial().TakeReady(now_ms_)) said.push_back(*bytes);
    return said;
  }
  size_t Count(sim::Verdict verdict) const {
    return camera_.Log().Count(sim::Direction::FROM_HOST, verdict);
  }

  sim::VirtualCamera camera_;
  uint64_t now_ms_ = 0;
};

TEST_F(SerialFaceTest, APacketInThreePiecesAmongControlBytesMakesOneUnit) {
  const Bytes get = test::GetRequest(16);
  Bytes stream{0x00};
  stream.insert(stream.end(), get.begin(), get.end());
  Hear(std::span(stream).first(2));
  Hear(std::span(stream).subspan(2, 3));
  EXPECT_EQ(Said().size(), 1u) << "only the probe is answered so far";
  Hear(std::span(stream).subspan(5));
  const auto said = Said();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].bytes, test::GetReply(100));
  EXPECT_EQ(Count(sim::Verdict::ACCEPTED), 2u);
}

TEST_F(SerialFaceTest, AfterTheSpeedRequestOnlyTheNewSpeedIsHeard) {
  Hear(test::SpeedRequest(5));
  auto said = Said();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].bytes, Bytes{0x06});
  EXPECT_EQ(said[0].baud, 19200u) << "the ACK leaves at the old speed";
  EXPECT_EQ(camera_.Serial().Baud(), 115200u);
  Hear(Bytes{0x00}, 19200);
  EXPECT_TRUE(Said().empty());
  EXPECT_EQ(Count(sim::Verdict::GARBLED), 1u);
  Hear(Bytes{0x00}, 115200);
  said = Said();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].baud, 115200u);
}

TEST_F(SerialFaceTest, AnUnfinishedPacketIsDroppedAfterSilence) {
  const Bytes get = test::GetRequest(16);
  Hear(std::span(get).first(5));
  now_ms_ += sim::PACKET_IDLE_LIMIT_MS + 1;
  Hear(get);
  const auto said = Said();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].bytes, test::GetReply(100));
  EXPECT_EQ(Count(sim::Verdict::INCOMPLETE), 1u);
}

TEST_F(SerialFaceTest, AnImpossibleLengthIsRefusedWithoutWaitingForIt) {
  Hear(Bytes{0x1B, 0x43, 0x01, 0x90});  // 36865 payload bytes
  const auto said = Said();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].bytes, Bytes{0x15});
  EXPECT_EQ(Count(sim::Verdict::MALFORMED), 1u);
}

TEST_F(SerialFaceTest, UnplugAfterBytesCutsTheStreamThere) {
  camera_.Serial().UnplugAfterBytes(3);
  Hear(Bytes{0x00, 0x00, 0x00, 0x00, 0x00});
  EXPECT_TRUE(camera_.Serial().Unplugged());
  EXPECT_TRUE(Said().empty()) << "answers not yet sent are lost with the camera";
  EXPECT_EQ(Count(sim::Verdict::ACCEPTED), 3u);
  Hear(Bytes{0x00});
  EXPECT_TRUE(Said().empty());
}

}  // namespace
}  // namespace pelox
