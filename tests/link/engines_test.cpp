// The engines over a serial link: value ranges, progress and cancellation,
// the wait for a busy camera, object reads into a file, frame splits.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "link/camera_link.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "serial_camera_fixture.h"
#include "tests/byte_pattern.h"
#include "tests/temp_path.h"

namespace pelox {
namespace {

using sim::FaultKind;
using sim::FaultTarget;

constexpr uint8_t PROPERTY_RANGE_0_4 = 0;
constexpr uint8_t PROPERTY_BATTERY = 16;
constexpr uint8_t PROPERTY_OBJECT = 4;
constexpr uint8_t PROPERTY_OBJECT_SIZE = 40;
constexpr uint8_t ACTION_LONG = 41;
constexpr uint8_t KIND_READ = 60;
constexpr uint8_t KIND_WRITE = 31;
constexpr uint8_t REQUEST_GET_CLASS = 1;

using test::Pattern;

std::vector<int32_t> reported;
int32_t cancel_on_call = 0;

int progress_owner = 0;

int32_t RecordProgress(void* user, int32_t reserved, int32_t percent) {
  EXPECT_EQ(user, &progress_owner);
  EXPECT_EQ(reserved, 0);
  reported.push_back(percent);
  return static_cast<int32_t>(reported.size()) == cancel_on_call ? 0 : 1;
}

class EngineTest : public SerialCameraTest {
 protected:
  void SetUp() override {
    SerialCameraTest::SetUp();
    reported.clear();
    cancel_on_call = 0;
    camera.Model().RegisterReadableKind(KIND_READ,
                                        [this](uint64_t) { return std::optional(readable); });
    camera.Model().RegisterWritableKind(KIND_WRITE,
                                        [this](std::span<const uint8_t> data, uint64_t) {
                                          written.emplace_back(data.begin(), data.end());
                                          return true;
                                        });
    Connect();
  }

  // Payload sizes of the frames the host sent, command frames included.
  std::vector<size_t> WriteFrameSizes() {
    std::vector<size_t> sizes;
    for (const sim::LogEntry& entry : camera.Log().Entries()) {
      if (entry.direction != sim::Direction::FROM_HOST || entry.bytes.size() < 6) continue;
      const uint8_t type = entry.bytes[0];
      if (type == 0x1B || type == 0x02 || type == 0x03) sizes.push_back(entry.bytes.size() - 6);
    }
    return sizes;
  }

  std::vector<uint8_t> readable = Pattern(5000);
  std::vector<std::vector<uint8_t>> written;
};

TEST_F(EngineTest, SetOutsideTheRangeIsRefusedUnsent) {
  EXPECT_EQ(LinkSetValue(PROPERTY_RANGE_0_4, 5, link), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_TRUE(camera.Log().Entries().empty()) << Trace();
}

TEST_F(EngineTest, GetAnsweredOutsideTheRangeFailsAndBreaksTheLink) {
  camera.Model().RegisterProperty(PROPERTY_BATTERY, 101);
  uint32_t value = 0;
  EXPECT_EQ(LinkGetValueChecked(PROPERTY_BATTERY, false, value, link), LINK_ERROR_UNEXPECTED);
  EXPECT_EQ(link->last_error, LINK_ERROR_UNEXPECTED);
  EXPECT_EQ(link->state, LINK_STATE_BROKEN);
}

TEST_F(EngineTest, AbortableGetOnABrokenLinkReconnectsAndRestartsUnsent) {
  link->state = LINK_STATE_BROKEN;
  uint32_t value = 0;
  EXPECT_EQ(LinkGetValueChecked(PROPERTY_BATTERY, true, value, link), LINK_RESTART);
  EXPECT_EQ(RequestsSent(REQUEST_GET_CLASS), 1u) << "only the reconnection's ready check";
  // The restart leaves the link usable for the caller's first step.
  EXPECT_EQ(link->state, LINK_STATE_READY);
  EXPECT_EQ(LinkGetValueChecked(PROPERTY_BATTERY, true, value, link), LINK_OK) << Trace();
  EXPECT_EQ(value, 100u);
}

constexpr bool DEADLINE = true;
constexpr bool STALL = false;

// The limits a caller sets, in the order set: a wait deadline (from now)
// and a stall bound; neither clears the other, and a reconnection leaves both.
struct Limits {
  const char* name;
  std::vector<std::pair<bool, uint32_t>> set;  // (deadline?, ms)
  bool camera_gone_first;  // a get that reconnects, then a wait until a second before the limit
  uint64_t ends_by_ms;     // after the start, or for a stall bound after the last reply
};

class LimitsTest : public EngineTest, public testing::WithParamInterface<Limits> {};

// A camera that stops answering holds a get exactly as long as the
// earliest limit allows.
TEST_P(LimitsTest, AGetToASilentCameraEndsByTheEarliestLimit) {
  const Limits& limits = GetParam();
  const uint32_t silent_from = limits.camera_gone_first ? 3 : 1;
  if (limits.camera_gone_first)
    AddFault(FaultKind::CAMERA_GONE, FaultTarget::GET, PROPERTY_BATTERY);
  AddFault(FaultKind::DROP_REPLY, FaultTarget::GET, PROPERTY_BATTERY, silent_from, UINT32_MAX);
  int reconnections = 0;
  LinkSetEventCallback(
      [](void* user, const LinkEvent& event) {
        if (event.kind == LinkEventKind::RECONNECTING) ++*static_cast<int*>(user);
      },
      &reconnections, link);
  std::optional<uint32_t> deadline;
  for (const auto& [is_deadline, ms] : limits.set) {
    if (is_deadline) deadline = LinkTickCount() + ms;
    EXPECT_EQ(is_deadline ? LinkSetWaitDuration(ms, link) : LinkSetStallBound(ms, link), LINK_OK);
  }
  uint64_t start = sim::VirtualNowMs();
  if (limits.camera_gone_first) {
    EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
    // The reply renewed the stall bound (set last where it ends the get).
    if (limits.set.back().first == STALL) start = sim::VirtualNowMs();
    ClockSleep(static_cast<uint32_t>(start + limits.ends_by_ms - 1000 - sim::VirtualNowMs()));
  }
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), -1);
  EXPECT_EQ(LinkLastError(link), LINK_ERROR_NO_ANSWER) << Trace();
  const uint64_t took = sim::VirtualNowMs() - start;
  EXPECT_LE(took, limits.ends_by_ms) << Trace();
  EXPECT_GE(took + 1000, limits.ends_by_ms) << "ended by a retry budget, not the limit";
  EXPECT_EQ(link->wait_deadline, deadline) << "the caller's deadline stays as set";
  EXPECT_TRUE(!limits.camera_gone_first || reconnections > 0) << "a reconnection in between";
}

INSTANTIATE_TEST_SUITE_P(
    OnSerial, LimitsTest,
    testing::Values(
        Limits{"DeadlineAlone", {{DEADLINE, 1500}}, false, 1500},
        Limits{"StallBoundAlone", {{STALL, 1500}}, false, 1500},
        Limits{"DeadlineThenLongerStallBound", {{DEADLINE, 1500}, {STALL, 6000}}, false, 1500},
        Limits{"StallBoundThenLongerDeadline", {{STALL, 1500}, {DEADLINE, 6000}}, false, 1500},
        Limits{"DeadlineThenShorterStallBound", {{DEADLINE, 6000}, {STALL, 1500}}, false, 1500},
        Limits{"StallBoundThenShorterDeadline", {{STALL, 6000}, {DEADLINE, 1500}}, false, 1500},
        Limits{"DeadlineAcrossAReconnection", {{STALL, 20000}, {DEADLINE, 8000}}, true, 8000},
        Limits{"StallBoundAcrossAReconnection", {{DEADLINE, 20000}, {STALL, 8000}}, true, 8000}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

// Any limit lets a call begin; one longer than the call lets it complete.
class ShortLimitTest : public EngineTest,
                       public testing::WithParamInterface<std::tuple<bool, uint32_t>> {};

TEST_P(ShortLimitTest, AHealthyCameraAnswersAGetAndAReadWithinTheLimit) {
  const auto [is_deadline, ms] = GetParam();
  readable = Pattern(60000);  // some 5 s at 115200 baud
  std::vector<uint8_t> data(readable.size());
  for (const bool whole_read : {false, true}) {
    const uint64_t start = sim::VirtualNowMs();
    EXPECT_EQ(is_deadline ? LinkSetWaitDuration(ms, link) : LinkSetStallBound(ms, link), LINK_OK);
    uint32_t value = 0;
    const int32_t code = whole_read ? LinkReadData(KIND_READ, data, 0, 0, link)
                                    : LinkGetValueChecked(PROPERTY_BATTERY, false, value, link);
    const uint64_t took = sim::VirtualNowMs() - start;
    // A stall bound is renewed by each frame, a deadline is not.
    if (took < ms || (whole_read && !is_deadline)) {
      EXPECT_EQ(code, LINK_OK) << "took " << took << " ms\n" << Trace();
    } else {
      EXPECT_EQ(code, LINK_ERROR_NO_ANSWER) << Trace();
      EXPECT_LE(took, ms + 10u);
    }
    LinkSetWaitDeadline(std::nullopt, link);
    LinkSetStallBound(0, link);
  }
}

INSTANTIATE_TEST_SUITE_P(OnSerial, ShortLimitTest,
                         testing::Combine(testing::Values(DEADLINE, STALL),
                                          testing::Values(100u, 200u, 1000u)));

// The stop flag, raised at 400 ms into a wait of seconds, ends it within
// 100 ms with its own code.
struct StopCase {
  const char* name;
  std::function<void(sim::VirtualCamera&, CameraLink*)> prepare;
  std::function<int32_t(CameraLink*)> call;
};

class StopTest : public EngineTest, public testing::WithParamInterface<StopCase> {};

TEST_P(StopTest, EndsTheWaitWithinATenthOfASecond) {
  std::atomic<int> stop{0};
  LinkSetStopFlag(&stop, link);
  readable = Pattern(60000);
  GetParam().prepare(camera, link);
  const uint64_t raised = sim::VirtualNowMs() + 400;
  sim::VirtualRaiseAt(raised, &stop);
  EXPECT_EQ(GetParam().call(link), LINK_ERROR_STOPPED) << Trace();
  EXPECT_EQ(stop, 1) << "ended before the stop";
  EXPECT_LE(sim::VirtualNowMs(), raised + 100);
}

INSTANTIATE_TEST_SUITE_P(
    OnSerial, StopTest,
    testing::Values(
        StopCase{"Get",
                 [](sim::VirtualCamera& camera, CameraLink*) {
                   camera.Faults().Add(sim::FaultRule{.kind = FaultKind::DELAY,
                                                           .target = FaultTarget::GET,
                                                           .argument_ms = 5000});
                 },
                 [](CameraLink* link) {
                   uint32_t value = 0;
                   return LinkGetValueChecked(PROPERTY_BATTERY, false, value, link);
                 }},
        StopCase{"Handshake",
                 [](sim::VirtualCamera& camera, CameraLink* link) {
                   LinkConnect(LINK_DISCONNECT, link);
                   camera.Faults().Add(sim::FaultRule{.kind = FaultKind::DROP_REPLY,
                                                           .target = FaultTarget::PROBE,
                                                           .times = UINT32_MAX});
                 },
                 [](CameraLink* link) { return LinkConnect(LINK_CONNECT, link); }},
        StopCase{"ChunkedRead", [](sim::VirtualCamera&, CameraLink*) {},
                 [](CameraLink* link) {
                   std::vector<uint8_t> data(60000);
                   return LinkReadData(KIND_READ, data, 0, 0, link);
                 }}),
    [](const auto& case_info) { return std::string(case_info.param.name); });

TEST_F(EngineTest, ReadDataReportsProgressInIntegerSteps) {
  LinkSetProgressCallback(RecordProgress, &progress_owner, link);
  std::vector<uint8_t> data(5000);
  EXPECT_EQ(LinkReadData(KIND_READ, data, 0, 0, link), LINK_OK) << Trace();
  EXPECT_EQ(data, readable);
  EXPECT_EQ(reported, (std::vector<int32_t>{0, 40, 81, 100}));
}

TEST_F(EngineTest, ReadDataStartsItsProgressWhereTheCallerSays) {
  LinkSetProgressCallback(RecordProgress, &progress_owner, link);
  std::vector<uint8_t> data(5000);
  EXPECT_EQ(LinkReadData(KIND_READ, data, 0, 50 * 256, link), LINK_OK);
  EXPECT_EQ(reported, (std::vector<int32_t>{50, 90, 131, 100}));
}

TEST_F(EngineTest, CancelledReadEndsAfterOneChunkAndFreesTheLinkForTheNext) {
  LinkSetProgressCallback(RecordProgress, &progress_owner, link);
  cancel_on_call = 2;
  std::vector<uint8_t> data(5000);
  EXPECT_EQ(LinkReadData(KIND_READ, data, 0, 0, link), LINK_ERROR_CANCELLED);
  EXPECT_EQ(reported.size(), 2u);
  EXPECT_EQ(link->transfer_active, 0);
  EXPECT_NE(link->state, LINK_STATE_IN_TRANSACTION);

  cancel_on_call = 0;
  const uint64_t before = sim::VirtualNowMs();
  int32_t code = LinkReadData(KIND_READ, data, 0, 0, link);
  if (code == LINK_RESTART) code = LinkReadData(KIND_READ, data, 0, 0, link);
  EXPECT_EQ(code, LINK_OK) << Trace();
  EXPECT_EQ(data, readable);
  EXPECT_LT(sim::VirtualNowMs() - before, 60000u);
}

TEST_F(EngineTest, ReadDataOfNothingIsRefused) {
  EXPECT_EQ(LinkReadData(KIND_READ, {}, 0, 0, link), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_TRUE(camera.Log().Entries().empty());
}

TEST_F(EngineTest, ReadBlockNeverWritesPastItsDestination) {
  std::vector<uint8_t> block(100, 0xAA);
  // The camera has 5000 bytes; a 100-byte block cannot take its first frame.
  EXPECT_NE(LinkReadBlock(KIND_READ, std::span(block).first(64), link), LINK_OK);
  EXPECT_EQ(std::vector<uint8_t>(block.begin() + 64, block.end()), std::vector<uint8_t>(36, 0xAA));
}

TEST_F(EngineTest, ExecuteThenGetWaitsForTheActionAndChecksReadinessFirst) {
  camera.Model().RegisterAction(ACTION_LONG,
                                [](uint8_t, uint64_t) { return std::optional(30000u); });
  const uint64_t start = sim::VirtualNowMs();
  ASSERT_EQ(LinkExecute(ACTION_LONG, 0, 60000, link), LINK_OK) << Trace();
  EXPECT_EQ(link->state, LINK_STATE_BUSY);
  camera.Log().Clear();
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
  EXPECT_GE(sim::VirtualNowMs() - start, 30000u) << "the get waited for the end of the action";
  std::vector<uint8_t> asked;
  for (const std::vector<uint8_t>& unit : HostUnits(0x1B)) asked.push_back(unit[5]);
  EXPECT_EQ(asked, (std::vector<uint8_t>{PROPERTY_READY, PROPERTY_BATTERY}));
}

TEST_F(EngineTest, ACameraThatNeverFinishesItsActionIsGivenUpAfterTheDeadline) {
  camera.Model().RegisterAction(ACTION_LONG,
                                [](uint8_t, uint64_t) { return std::optional(5000u); });
  camera.Model().SetNeverReady();
  const uint64_t start = sim::VirtualNowMs();
  ASSERT_EQ(LinkExecute(ACTION_LONG, 0, 20000, link), LINK_OK) << Trace();
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), -1);
  EXPECT_EQ(link->last_error, LINK_ERROR_NO_ANSWER);
  EXPECT_GE(sim::VirtualNowMs() - start, 20000u) << "busy until the deadline";
  EXPECT_EQ(LinkCheckAlive(link), 0);
}

TEST_F(EngineTest, AnActionEndedByTheCamerasErrorFailsTheCallThatWaitedForIt) {
  camera.Model().RegisterAction(ACTION_LONG,
                                [](uint8_t, uint64_t) { return std::optional(3000u); });
  camera.Faults().Add({.kind = FaultKind::END_ERROR, .target = FaultTarget::ACTION});
  ASSERT_EQ(LinkExecute(ACTION_LONG, 0, 60000, link), LINK_OK) << Trace();
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), -1);
  EXPECT_EQ(link->last_error, LINK_ERROR_CAMERA_ERROR);
  EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100) << Trace();
}

TEST_F(EngineTest, CheckAliveAnswersOnceTheActionHasEnded) {
  camera.Model().RegisterAction(ACTION_LONG,
                                [](uint8_t, uint64_t) { return std::optional(3000u); });
  ASSERT_EQ(LinkExecute(ACTION_LONG, 0, 60000, link), LINK_OK);
  EXPECT_EQ(LinkCheckAlive(link), 1) << Trace();
  EXPECT_EQ(link->state, LINK_STATE_READY);
}

TEST_F(EngineTest, DestroyingAllLinksClosesTheirPorts) {
  ASSERT_EQ(PortOpenType(), CAMERA_PORT);
  EXPECT_EQ(LinkDestroyAll(), LINK_OK);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE);
  link = nullptr;
}

TEST_F(EngineTest, DeletingAConnectedLinkFreesItsPortForTheNext) {
  ASSERT_EQ(PortOpenType(), CAMERA_PORT);
  EXPECT_EQ(LinkDelete(link), LINK_OK);
  EXPECT_EQ(PortOpenType(), PORT_TYPE_NONE);
  link = LinkCreate();
  ASSERT_EQ(LinkSetSpeed(SPEED_115200, link), LINK_OK);
  Connect();
}

TEST_F(EngineTest, WriteStringSendsUpToThirtyOneCharacters) {
  const std::string text(31, 'v');
  EXPECT_EQ(LinkWriteString(KIND_WRITE, text, link), LINK_OK) << Trace();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0], std::vector<uint8_t>(text.begin(), text.end()));
  camera.Log().Clear();
  EXPECT_EQ(LinkWriteString(KIND_WRITE, std::string(32, 'v'), link), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_TRUE(camera.Log().Entries().empty());
}

TEST_F(EngineTest, WritesSplitIntoFramesOfAtMost2048Bytes) {
  const std::vector<std::pair<size_t, std::vector<size_t>>> splits{
      {2046, {2048}},
      {2047, {2048, 1}},
      {4095, {2048, 2048, 1}},
  };
  for (const auto& [length, frames] : splits) {
    camera.Log().Clear();
    written.clear();
    const std::vector<uint8_t> data = Pattern(length);
    EXPECT_EQ(LinkWriteData(KIND_WRITE, data, link), LINK_OK) << Trace();
    EXPECT_EQ(WriteFrameSizes(), frames) << length << " bytes";
    // A full command frame may be followed by data frames: the camera takes
    // the write as ended when the next request comes.
    EXPECT_EQ(LinkGetValue(PROPERTY_BATTERY, false, link), 100);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], data);
  }
}

TEST_F(EngineTest, WriteReportsProgressPerFrame) {
  LinkSetProgressCallback(RecordProgress, &progress_owner, link);
  EXPECT_EQ(LinkWriteData(KIND_WRITE, Pattern(5000), link), LINK_OK);
  EXPECT_EQ(reported, (std::vector<int32_t>{40, 81, 100}));
}

class ObjectFileTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    camera.Model().RegisterProperty(PROPERTY_OBJECT, 0);
    path = test::UniqueTempPath("pelox_object");
    uint32_t error = 0;
    file = FileCreate(path.string().c_str(), error);
    ASSERT_NE(file, nullptr);
  }
  void TearDown() override {
    FileClose(file);
    std::filesystem::remove(path);
    EngineTest::TearDown();
  }
  std::vector<uint8_t> FileBytes() {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::filesystem::path path;
  FileHandle file = nullptr;
};

TEST_F(ObjectFileTest, AnObjectOfSizeZeroGivesEmptyObjectAndWritesNothing) {
  camera.Model().RegisterProperty(PROPERTY_OBJECT_SIZE, 0);
  EXPECT_EQ(LinkReadObjectToFile(PROPERTY_OBJECT_SIZE, KIND_READ, file, 3, link),
            LINK_ERROR_EMPTY_OBJECT);
  EXPECT_TRUE(FileBytes().empty());
  EXPECT_EQ(link->transfer_active, 0);
}

TEST_F(ObjectFileTest, TheObjectArrivesInTheFile) {
  camera.Model().RegisterProperty(PROPERTY_OBJECT_SIZE, 5000);
  EXPECT_EQ(LinkReadObjectToFile(PROPERTY_OBJECT_SIZE, KIND_READ, file, 3, link), LINK_OK)
      << Trace();
  EXPECT_EQ(camera.Model().GetProperty(PROPERTY_OBJECT, 0), std::optional<uint32_t>(3));
  EXPECT_EQ(FileBytes(), readable);
}

TEST_F(ObjectFileTest, ACameraGoneMidwayRewindsAndWritesTheObjectAgain) {
  camera.Model().RegisterProperty(PROPERTY_OBJECT_SIZE, 5000);
  AddFault(FaultKind::CAMERA_GONE, FaultTarget::READ_FRAME, -1, 2);
  EXPECT_EQ(LinkReadObjectToFile(PROPERTY_OBJECT_SIZE, KIND_READ, file, 3, link), LINK_OK)
      << Trace();
  EXPECT_EQ(FileBytes(), readable);
}

TEST_F(ObjectFileTest, ACameraThatEndsBeforeItsTotalFailsEitherReadAndTellsWhatArrived) {
  // The camera holds 5000 bytes but announces, or is asked for, 6000.
  camera.Model().RegisterProperty(PROPERTY_OBJECT_SIZE, 6000);
  std::vector<uint8_t> data(6000);
  const std::vector<std::function<int32_t()>> reads{
      [&] { return LinkReadObjectToFile(PROPERTY_OBJECT_SIZE, KIND_READ, file, 3, link); },
      [&] { return LinkReadData(KIND_READ, data, 0, 0, link); }};
  for (const auto& read : reads) {
    int32_t code = read();
    if (code == LINK_RESTART) code = read();  // the failure before broke the link
    EXPECT_EQ(code, LINK_ERROR_UNEXPECTED) << Trace();
    EXPECT_EQ(link->bytes_received, readable.size());
  }
  EXPECT_EQ(FileBytes(), readable);
  EXPECT_TRUE(std::equal(readable.begin(), readable.end(), data.begin()));
}

}  // namespace
}  // namespace pelox
