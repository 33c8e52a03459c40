// Faults the camera commits on purpose: scripted by request or frame, and
// seeded.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/camera/fault_plan.h"
#include "tests/sim/camera_fixture.h"
#include "tests/sim/host_frames.h"

namespace pelox {
namespace {

using sim::FaultKind;
using sim::FaultTarget;
using test::Bytes;
using test::GetReply;
using test::GetRequest;
using test::KIND_BLOB;
using test::KIND_SINK;

class CameraFaultsTest : public ::testing::Test, protected test::CameraFixture {
 protected:
  void Add(FaultKind kind, FaultTarget target, int32_t id = -1, uint32_t occurrence = 1,
           uint32_t times = 1, uint32_t argument_ms = 0) {
    camera_.Faults().Add({kind, target, id, occurrence, times, argument_ms});
  }
};

TEST_F(CameraFaultsTest, NakNTimesAimedAtOneWriteFrame) {
  Add(FaultKind::NAK, FaultTarget::WRITE_FRAME, KIND_SINK, 2, 2);
  const Bytes data(5000, 0x33);
  const auto frames = test::WriteFrames(KIND_SINK, data);
  EXPECT_EQ(Exchange(frames[0]), Bytes{0x06});
  EXPECT_EQ(Exchange(frames[1]), Bytes{0x15});
  EXPECT_EQ(Exchange(frames[1]), Bytes{0x15});
  EXPECT_EQ(Exchange(frames[1]), Bytes{0x06});
  EXPECT_EQ(Exchange(frames[2]), Bytes{0x06});
  ASSERT_EQ(written_.size(), 1u);
  EXPECT_EQ(written_[0], data);
  EXPECT_EQ(camera_.Log().Count(sim::Direction::FROM_HOST, sim::Verdict::FAULTED), 2u);
}

TEST_F(CameraFaultsTest, RepliesCanBeDroppedCutShortOrCorrupted) {
  Add(FaultKind::DROP_REPLY, FaultTarget::GET, 16, 1);
  Add(FaultKind::PARTIAL_REPLY, FaultTarget::GET, 16, 2);
  Add(FaultKind::WRONG_CHECKSUM, FaultTarget::GET, 16, 3);
  Add(FaultKind::WRONG_SEQUENCE, FaultTarget::GET, 16, 4);
  const Bytes good = GetReply(100);
  EXPECT_TRUE(Exchange(GetRequest(16)).empty());
  EXPECT_EQ(Exchange(GetRequest(16)), Bytes(good.begin(), good.begin() + 5));
  Bytes bad_sum = good;
  ++bad_sum.back();
  EXPECT_EQ(Exchange(GetRequest(16)), bad_sum);
  EXPECT_EQ(Exchange(Bytes{0x15}), good) << "a NAK brings the reply intact";
  Bytes ahead = good;
  ahead[1] = 1;
  EXPECT_EQ(Exchange(GetRequest(16)), ahead);
  EXPECT_EQ(Exchange(GetRequest(18)), GetReply(1)) << "other properties are untouched";
  EXPECT_EQ(Exchange(GetRequest(16)), good);
}

TEST_F(CameraFaultsTest, ReadFrameFaultsHitTheChosenFrameAndRecoverOnNak) {
  blob_ = Bytes(3000, 0x5A);
  Add(FaultKind::WRONG_SEQUENCE, FaultTarget::READ_FRAME, KIND_BLOB, 2);
  const Bytes first = Exchange(test::Request({4, KIND_BLOB}));
  EXPECT_EQ(first[1], 0);
  const Bytes second = Exchange(Bytes{0x06});
  EXPECT_EQ(second[1], 2) << "one ahead";
  const Bytes again = Exchange(Bytes{0x15});
  EXPECT_EQ(again[0], 0x03);
  EXPECT_EQ(again[1], 1);
}

TEST_F(CameraFaultsTest, CameraGoneSends0xFFAndStartsAfresh) {
  Add(FaultKind::CAMERA_GONE, FaultTarget::WRITE_FRAME, -1, 2);
  const auto frames = test::WriteFrames(KIND_SINK, Bytes(5000, 1));
  EXPECT_EQ(Exchange(frames[0]), Bytes{0x06});
  Send(frames[1]);
  auto unit = camera_.Endpoint().TakeReady(now_ms_);
  ASSERT_TRUE(unit);
  EXPECT_EQ(unit->bytes, Bytes{0xFF});
  EXPECT_EQ(unit->then_speed_index, 0) << "back to the opening speed";
  EXPECT_EQ(Exchange(frames[2]), Bytes{0x11}) << "the interrupted write is gone";
  EXPECT_TRUE(written_.empty());
  EXPECT_EQ(Exchange(Bytes{0x00}), Bytes{0x15});
}

TEST_F(CameraFaultsTest, UnplugSilencesTheCameraForGood) {
  Add(FaultKind::UNPLUG, FaultTarget::GET, 18);
  EXPECT_EQ(Exchange(GetRequest(16)), GetReply(100));
  EXPECT_TRUE(Exchange(GetRequest(18)).empty());
  EXPECT_TRUE(Exchange(Bytes{0x00}).empty());
  EXPECT_TRUE(camera_.Endpoint().Unplugged());
}

TEST_F(CameraFaultsTest, DelaysAndRefusals) {
  Add(FaultKind::DELAY, FaultTarget::SET, 32, 1, 1, 250);
  Add(FaultKind::REFUSE, FaultTarget::SET, 32, 2);
  Send(test::SetRequest(32, 7));
  EXPECT_TRUE(Replies().empty());
  now_ms_ += 250;
  EXPECT_EQ(Replies(), std::vector<Bytes>{Bytes{0x06}});
  EXPECT_EQ(Exchange(test::SetRequest(32, 8)), Bytes{0x11});
  EXPECT_EQ(Exchange(GetRequest(32)), GetReply(7));
}

TEST_F(CameraFaultsTest, NeverReadyKeepsReadinessAtZeroAndSendsNo05) {
  camera_.Model().RegisterAction(3, [](uint8_t, uint64_t) { return 100u; });
  Add(FaultKind::NEVER_READY, FaultTarget::ACTION);
  EXPECT_EQ(Exchange(test::Request({2, 3, 0})), Bytes{0x06});
  now_ms_ += 100000;
  EXPECT_FALSE(camera_.Endpoint().NextReadyMs());
  EXPECT_EQ(Exchange(GetRequest(18)), GetReply(0));
}

TEST_F(CameraFaultsTest, APortFailureLastsItsTime) {
  Add(FaultKind::PORT_FAILURE, FaultTarget::PROBE, -1, 1, 1, 500);
  EXPECT_TRUE(Exchange(Bytes{0x00}).empty());
  EXPECT_TRUE(camera_.Endpoint().PortFailing(now_ms_ + 499));
  EXPECT_FALSE(camera_.Endpoint().PortFailing(now_ms_ + 500));
}

TEST_F(CameraFaultsTest, TheSameSeedGivesTheSameFaults) {
  const auto trace = [](uint64_t seed) {
    sim::VirtualCamera camera;
    camera.Faults().SetRandom(seed, 300);
    std::vector<Bytes> replies;
    for (int i = 0; i < 50; ++i) {
      camera.Endpoint().Receive(GetRequest(16), 0);
      while (auto unit = camera.Endpoint().TakeReady(1000)) replies.push_back(unit->bytes);
    }
    return replies;
  };
  const auto first = trace(42);
  EXPECT_EQ(first, trace(42));
  EXPECT_NE(first, trace(43));
  const size_t intact = static_cast<size_t>(std::count(first.begin(), first.end(), GetReply(100)));
  EXPECT_GT(intact, 20u);
  EXPECT_LT(intact, 50u);
}

TEST(FaultRuleText, ReadsEveryPart) {
  std::string error;
  auto rule = sim::ParseFaultRule("nak@write-frame:29#3*2", error);
  ASSERT_TRUE(rule) << error;
  EXPECT_EQ(rule->kind, FaultKind::NAK);
  EXPECT_EQ(rule->target, FaultTarget::WRITE_FRAME);
  EXPECT_EQ(rule->id, 29);
  EXPECT_EQ(rule->occurrence, 3u);
  EXPECT_EQ(rule->times, 2u);
  rule = sim::ParseFaultRule("delay=300@get:18", error);
  ASSERT_TRUE(rule) << error;
  EXPECT_EQ(rule->kind, FaultKind::DELAY);
  EXPECT_EQ(rule->argument_ms, 300u);
  EXPECT_EQ(rule->id, 18);
  rule = sim::ParseFaultRule("gone", error);
  ASSERT_TRUE(rule) << error;
  EXPECT_EQ(rule->target, FaultTarget::ANY);
  EXPECT_EQ(rule->occurrence, 1u);
}

TEST(FaultRuleText, RejectsMistakes) {
  std::string error;
  for (const char* text : {"bogus", "nak@nowhere", "nak#0", "nak*x", "delay=@get", "nak@get:x"}) {
    EXPECT_FALSE(sim::ParseFaultRule(text, error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
}  // namespace pelox
