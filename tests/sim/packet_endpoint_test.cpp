// The camera's side of the packet protocol, unit by unit.
#include "sim/camera/packet_endpoint.h"

#include <gtest/gtest.h>

#include "tests/sim/camera_fixture.h"
#include "tests/sim/host_frames.h"

namespace pelox {
namespace {

using test::Bytes;
using test::GetReply;
using test::GetRequest;
using test::KIND_BLOB;
using test::KIND_SINK;
using test::Pattern;
using test::Request;
using test::SetRequest;

constexpr uint8_t ACTION_SLOW = 5;
constexpr uint32_t ACTION_BUSY_MS = 3000;

class PacketEndpointTest : public ::testing::Test, protected test::CameraFixture {
 protected:
  void SetUp() override {
    camera_.Model().RegisterAction(ACTION_SLOW, [](uint8_t, uint64_t) { return ACTION_BUSY_MS; });
  }
};

TEST_F(PacketEndpointTest, AnswersTheContractsRequests) {
  EXPECT_EQ(Exchange(Bytes{0x00}), Bytes{0x15});
  EXPECT_EQ(Exchange(GetRequest(18)),
            (Bytes{0x03, 0x00, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00}));
  EXPECT_EQ(Exchange(GetRequest(16)), GetReply(100));
  EXPECT_EQ(Exchange(SetRequest(32, 0x05A3C7D1)), Bytes{0x06});
  EXPECT_EQ(Exchange(GetRequest(32)), GetReply(0x05A3C7D1));
  EXPECT_EQ(camera_.Log().Count(sim::Direction::FROM_HOST, sim::Verdict::ACCEPTED), 5u);
}

TEST_F(PacketEndpointTest, RefusesWhatItCannotDoAndNaksWhatItCannotRead) {
  EXPECT_EQ(Exchange(SetRequest(16, 101)), Bytes{0x11});  // outside the value range
  EXPECT_EQ(Exchange(SetRequest(18, 0)), Bytes{0x11});    // readiness cannot be set
  EXPECT_EQ(Exchange(GetRequest(200)), Bytes{0x11});      // no such property
  EXPECT_EQ(Exchange(Request({9, 1})), Bytes{0x11});      // no such request class
  EXPECT_EQ(LastVerdictFromHost(), sim::Verdict::UNEXPECTED);
  Bytes bad_sum = GetRequest(16);
  ++bad_sum[6];
  EXPECT_EQ(Exchange(bad_sum), Bytes{0x15});
  EXPECT_EQ(LastVerdictFromHost(), sim::Verdict::BAD_CHECKSUM);
  Bytes short_length = GetRequest(16);
  short_length[2] = 1;
  EXPECT_EQ(Exchange(short_length), Bytes{0x15});
  EXPECT_EQ(LastVerdictFromHost(), sim::Verdict::MALFORMED);
}

TEST_F(PacketEndpointTest, TheSpeedRequestIsAcknowledgedAtTheOldSpeed) {
  Send(test::SpeedRequest(5));
  auto unit = camera_.Endpoint().TakeReady(now_ms_);
  ASSERT_TRUE(unit);
  EXPECT_EQ(unit->bytes, Bytes{0x06});
  EXPECT_EQ(unit->then_speed_index, 5);
  EXPECT_EQ(Exchange(test::SpeedRequest(7)), Bytes{0x11});
}

TEST_F(PacketEndpointTest, ReadFramesFollowTheHostsAcks) {
  Send(Request({4, KIND_BLOB}));
  auto frames = Replies();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], test::HostDataFrame(0x02, std::span(blob_).first(2048), 0));
  EXPECT_TRUE(Replies().empty()) << "the next frame waits for the ACK";
  // A NAK brings the same frame again.
  EXPECT_EQ(Exchange(Bytes{0x15}), frames[0]);
  EXPECT_EQ(Exchange(Bytes{0x06}),
            test::HostDataFrame(0x02, std::span(blob_).subspan(2048, 2048), 1));
  EXPECT_EQ(Exchange(Bytes{0x06}), test::HostDataFrame(0x03, std::span(blob_).subspan(4096), 2));
  Send(Bytes{0x06});
  EXPECT_TRUE(Replies().empty());
  EXPECT_EQ(camera_.Log().Entries().back().note, "read complete");
}

TEST_F(PacketEndpointTest, LargeReadsUseLargeFramesAndEmptyKindsOneEmptyFrame) {
  blob_ = Pattern(40000);
  EXPECT_EQ(Exchange(Request({6, KIND_BLOB})),
            test::HostDataFrame(0x02, std::span(blob_).first(32768), 0));
  EXPECT_EQ(Exchange(Bytes{0x06}), test::HostDataFrame(0x03, std::span(blob_).subspan(32768), 1));
  blob_.clear();
  EXPECT_EQ(Exchange(Request({4, KIND_BLOB})), test::HostDataFrame(0x03, Bytes{}, 0));
  EXPECT_EQ(Exchange(Request({4, 99})), Bytes{0x11});
}

TEST_F(PacketEndpointTest, WritesAreReassembledFrameByFrame) {
  for (size_t size : {size_t{10}, size_t{2047}, size_t{4095}, size_t{5000}}) {
    const Bytes data = Pattern(size);
    for (const Bytes& frame : test::WriteFrames(KIND_SINK, data)) {
      EXPECT_EQ(Exchange(frame), Bytes{0x06}) << size;
    }
    ASSERT_FALSE(written_.empty());
    EXPECT_EQ(written_.back(), data) << size;
  }
  EXPECT_EQ(written_.size(), 4u);
}

TEST_F(PacketEndpointTest, AFullSingleFrameWriteEndsWithTheNextRequest) {
  const Bytes data = Pattern(2046);
  EXPECT_EQ(Exchange(test::WriteFrames(KIND_SINK, data)[0]), Bytes{0x06});
  EXPECT_TRUE(written_.empty()) << "data frames may still follow";
  EXPECT_EQ(Exchange(GetRequest(16)), GetReply(100));
  ASSERT_EQ(written_.size(), 1u);
  EXPECT_EQ(written_[0], data);
}

TEST_F(PacketEndpointTest, ResentFramesAreAcknowledgedButTakenOnce) {
  const Bytes data = Pattern(5000);
  const auto frames = test::WriteFrames(KIND_SINK, data);
  EXPECT_EQ(Exchange(frames[0]), Bytes{0x06});
  EXPECT_EQ(Exchange(frames[2]), Bytes{0x15}) << "sequence one ahead";
  EXPECT_EQ(LastVerdictFromHost(), sim::Verdict::BAD_SEQUENCE);
  EXPECT_EQ(Exchange(frames[1]), Bytes{0x06});
  EXPECT_EQ(Exchange(frames[1]), Bytes{0x06});
  EXPECT_EQ(LastVerdictFromHost(), sim::Verdict::DUPLICATE);
  Bytes corrupt = frames[2];
  corrupt[10] ^= 0x01;
  EXPECT_EQ(Exchange(corrupt), Bytes{0x15});
  EXPECT_EQ(Exchange(frames[2]), Bytes{0x06});
  EXPECT_EQ(Exchange(frames[2]), Bytes{0x06});
  ASSERT_EQ(written_.size(), 1u);
  EXPECT_EQ(written_[0], data);
}

TEST_F(PacketEndpointTest, LargeWritesCarryNoChecksum) {
  const Bytes data = Pattern(100000);
  const auto frames = test::WriteFrames(KIND_SINK, data, true);
  ASSERT_EQ(frames.size(), 4u);
  for (const Bytes& frame : frames) {
    EXPECT_EQ(frame[frame.size() - 2], 0xFF);
    EXPECT_EQ(Exchange(frame), Bytes{0x06});
  }
  ASSERT_EQ(written_.size(), 1u);
  EXPECT_EQ(written_[0], data);
}

TEST_F(PacketEndpointTest, ADataFrameOutsideAWriteIsRefused) {
  EXPECT_EQ(Exchange(test::HostDataFrame(0x03, Bytes{1, 2, 3}, 0)), Bytes{0x11});
}

TEST_F(PacketEndpointTest, AnActionIsAcknowledgedAndEndsWith05AfterItsBusyTime) {
  EXPECT_EQ(Exchange(Request({2, ACTION_SLOW, 0})), Bytes{0x06});
  EXPECT_EQ(camera_.Endpoint().NextReadyMs(), now_ms_ + ACTION_BUSY_MS);
  EXPECT_EQ(Exchange(GetRequest(18)), GetReply(0));
  EXPECT_EQ(Exchange(GetRequest(16)), Bytes{0x11}) << "busy: only readiness is answered";
  now_ms_ += ACTION_BUSY_MS;
  EXPECT_EQ(Replies(), std::vector<Bytes>{Bytes{0x05}});
  EXPECT_EQ(Exchange(GetRequest(18)), GetReply(1));
  EXPECT_EQ(Exchange(Request({2, 99, 0})), Bytes{0x11});
}

}  // namespace
}  // namespace pelox
