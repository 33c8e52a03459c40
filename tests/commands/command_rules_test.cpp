// The rules particular commands add to the engines: value limits, selections,
// pairs, the clock, the usage table and the serial-line probe.
#include <gtest/gtest.h>

#include <array>
#include <ctime>

#include "commands/camera_commands.h"
#include "link/error_record.h"
#include "link/object_mode.h"
#include "sim/camera/fault_plan.h"
#include "tests/commands/camera_checks.h"
#include "tests/commands/camera_fixture.h"

// The old value-or-failure forms stay exported, so their rows stay too.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace pelox {
namespace {

using Rules = CommandsOnCamera;

// The camera answers 0x11 to the request, as often as the link tries it.
void Refuse(sim::VirtualCamera& camera, sim::FaultTarget target, int32_t id) {
  camera.Faults().Add({.kind = sim::FaultKind::REFUSE, .target = target, .id = id, .times = 10});
}

// The camera never answers the read of the kind.
void Ignore(sim::VirtualCamera& camera, uint8_t kind) {
  camera.Faults().Add({.kind = sim::FaultKind::DROP_REPLY,
                       .target = sim::FaultTarget::READ,
                       .id = kind,
                       .times = 10});
}

TEST_F(Rules, SetsOutsideTheRowAreRefusedBeforeAnythingIsSent) {
  struct Case {
    PropertySet set;
    uint32_t value;
    int32_t code;
  };
  const Case cases[] = {
      {CameraSet82, 5, LINK_ERROR_INVALID_ARGUMENT},
      {CameraSet82, 6, LINK_OK},
      {CameraSet82, 120, LINK_OK},
      {CameraSet82, 121, LINK_ERROR_INVALID_ARGUMENT},
      {CameraSet70, 1, LINK_ERROR_INVALID_ARGUMENT},
      {CameraSet70, 2, LINK_OK},
      {CameraSet70, 6, LINK_OK},
      {CameraSet70, 7, LINK_ERROR_INVALID_ARGUMENT},
      {CameraSet76, 0, LINK_OK},
      {CameraSet76, 1, LINK_ERROR_INVALID_ARGUMENT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.set.property_id) + " = " + std::to_string(c.value));
    EXPECT_EQ(c.set(c.value, link_), c.code);
    EXPECT_EQ(TakeRequests().size(), c.code == LINK_OK ? 1u : 0u);
  }
}

TEST_F(Rules, Property3RefusesOneToSixtyOneAndNegativeValues) {
  for (const int32_t value : {1, 61, -1}) {
    EXPECT_EQ(CameraSetProperty3(value, link_), LINK_ERROR_INVALID_ARGUMENT) << value;
    EXPECT_EQ(LinkLastError(link_), LINK_ERROR_INVALID_ARGUMENT);
  }
  EXPECT_TRUE(TakeRequests().empty());
  EXPECT_EQ(CameraSetProperty3(0, link_), LINK_OK);
  EXPECT_EQ(CameraSetProperty3(62, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_SET, 3, Le32Bytes(0)},
                                                      {CLASS_SET, 3, Le32Bytes(62)}}));
}

TEST_F(Rules, SixteenBitSetsSignExtendTheLowHalf) {
  EXPECT_EQ(CameraSet35(-1, link_), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(CameraSet36(0x8000, link_), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_TRUE(TakeRequests().empty());
  EXPECT_EQ(CameraSet35(0x10005, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_SET, 35, Le32Bytes(5)}}));
}

TEST_F(Rules, PairsGoInOrderAndStopAtTheFirstFailure) {
  EXPECT_EQ(CameraSetPair23(100, 200, link_), LINK_OK);
  EXPECT_EQ(CameraSetPair54(300, 400, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_SET, 23, Le32Bytes(100)},
                                                      {CLASS_SET, 24, Le32Bytes(200)},
                                                      {CLASS_SET, 54, Le32Bytes(300)},
                                                      {CLASS_SET, 38, Le32Bytes(400)}}));
  int16_t first = 0;
  int16_t second = 0;
  EXPECT_EQ(CameraGetPair54(first, second, link_), LINK_OK);
  EXPECT_EQ(first, 300);
  EXPECT_EQ(second, 400);
  TakeRequests();

  EXPECT_EQ(CameraSetPair23(-1, 5, link_), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_TRUE(TakeRequests().empty());

  Refuse(camera_, sim::FaultTarget::GET, 24);
  first = 0;
  second = -9;
  EXPECT_NE(CameraGetPair23(first, second, link_), LINK_OK);
  EXPECT_EQ(first, 100);
  EXPECT_EQ(second, -9);
}

TEST_F(Rules, ActionsCheckTheirArgumentsAndPrerequisites) {
  EXPECT_EQ(CameraAction3(2, link_), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_TRUE(TakeRequests().empty());

  ASSERT_TRUE(camera_.Model().SetProperty(10, 5, 0));
  EXPECT_EQ(CameraAction1(link_), LINK_OK);
  EXPECT_EQ(BusyMsLeft(), 14000u);
  EXPECT_EQ(TakeRequests(),
            (std::vector<WireRequest>{{CLASS_GET, 10, {}}, {CLASS_ACTION, 1, {0}}}));
  Settle();

  Refuse(camera_, sim::FaultTarget::GET, 10);
  EXPECT_EQ(CameraAction1(link_), -1);
  Refuse(camera_, sim::FaultTarget::GET, 10);
  const LinkError refused = CameraAction1Checked(link_);
  EXPECT_NE(refused, LINK_OK);
  EXPECT_EQ(refused, LinkLastError(link_));
  EXPECT_TRUE(vocabulary_.Actions().size() == 1);
}

TEST_F(Rules, Action8SetsProperty40OnlyForSomeValues) {
  EXPECT_EQ(CameraAction8(4, 77, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_ACTION, 8, {4}}}));
  Settle();
  EXPECT_EQ(CameraAction8(5, 77, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(),
            (std::vector<WireRequest>{{CLASS_SET, 40, Le32Bytes(77)}, {CLASS_ACTION, 8, {5}}}));
  Settle();
  Refuse(camera_, sim::FaultTarget::SET, 40);
  EXPECT_EQ(CameraAction8(6, 77, link_), 4);
  Refuse(camera_, sim::FaultTarget::SET, 40);
  const LinkError refused = CameraAction8Checked(6, 77, link_);
  EXPECT_NE(refused, LINK_OK);
  EXPECT_EQ(refused, LinkLastError(link_));
  EXPECT_EQ(vocabulary_.Actions().size(), 2u);
}

TEST_F(Rules, CurrentObjectModeSkipsSelectionAndSizeQuery) {
  sim::SimObject current;
  current.data.assign(5000, 0x42);
  vocabulary_.AddObject(0, current);
  EXPECT_EQ(CameraSetCurrentObjectMode(1, link_), LINK_OK);
  EXPECT_TRUE(LinkInCurrentObjectMode(link_));
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_SET, 128, Le32Bytes(1)}}));

  std::vector<uint8_t> buffer(CURRENT_OBJECT_READ_SIZE);
  EXPECT_EQ(CameraReadObject(buffer, 3, link_), LINK_OK);
  const std::vector<WireRequest> requests = TakeRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].id, DATA_KIND_OBJECT);
  EXPECT_EQ(buffer[4999], 0x42);
  EXPECT_EQ(CameraGetObjectSize(3, link_), 5000);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_GET, 12, {}}}));
  // The mode's fixed size must fit the buffer.
  std::vector<uint8_t> small(100);
  EXPECT_EQ(CameraReadObject(small, 3, link_), LINK_ERROR_INVALID_ARGUMENT);

  // Leaving the mode ignores the camera's answer, even a refusal.
  EXPECT_EQ(CameraSetCurrentObjectMode(5000, link_), LINK_OK);
  EXPECT_FALSE(LinkInCurrentObjectMode(link_));
  EXPECT_EQ(CameraSetCurrentObjectMode(0, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_SET, 128, Le32Bytes(0)}}));
}

TEST_F(Rules, ClockReadsAsHostLocalTime) {
  constexpr uint32_t SECONDS = 1700000000;
  vocabulary_.SetClockBase(SECONDS);
  LocalTime time{};
  ASSERT_EQ(CameraGetClock(time, link_), LINK_OK);
  const std::time_t expected_seconds = SECONDS;
  const std::tm expected = *std::localtime(&expected_seconds);
  EXPECT_EQ(time.years_since_1900, expected.tm_year);
  EXPECT_EQ(time.day_of_year, expected.tm_yday);
  EXPECT_EQ(time.hour, expected.tm_hour);
  EXPECT_EQ(time.minute, expected.tm_min);
  EXPECT_EQ(time.second, expected.tm_sec);
  EXPECT_EQ(static_cast<uint32_t>(CameraGet2(link_)), SECONDS);

  Refuse(camera_, sim::FaultTarget::GET, 2);
  const LocalTime before = time;
  EXPECT_NE(CameraGetClock(time, link_), LINK_OK);
  EXPECT_EQ(time.second, before.second);
  EXPECT_EQ(time.years_since_1900, before.years_since_1900);
}

std::vector<uint8_t> UsageTableWithTag9(size_t offset, uint32_t seconds) {
  std::vector<uint8_t> table(USAGE_TABLE_SIZE);
  table[offset] = 9;
  const std::vector<uint8_t> counter = Le32Bytes(seconds);
  std::copy(counter.begin(), counter.end(),
            table.begin() + static_cast<std::ptrdiff_t>(offset + 5));
  return table;
}

TEST_F(Rules, RunningHoursRoundTheTag9CounterToTheNearestHour) {
  struct Case {
    size_t offset;
    uint32_t seconds;
    int32_t hours;
  };
  for (const Case& c : {Case{2, 5399, 1}, Case{2, 5400, 2}, Case{350, 3600, 1}, Case{362, 3600, -1},
                        Case{8, 3600, -1}, Case{2, 0x90000000u, 671089}}) {
    SCOPED_TRACE(std::to_string(c.offset) + ": " + std::to_string(c.seconds));
    vocabulary_.SetBlob(DATA_KIND_USAGE_TABLE, UsageTableWithTag9(c.offset, c.seconds));
    EXPECT_EQ(CameraGetRunningHours(link_), c.hours);
    uint32_t hours = 0;
    EXPECT_EQ(CameraGetRunningHoursChecked(hours, link_),
              c.hours < 0 ? LINK_ERROR_UNEXPECTED : LINK_OK);
    EXPECT_EQ(hours, c.hours < 0 ? 0u : static_cast<uint32_t>(c.hours));
  }
  Ignore(camera_, DATA_KIND_USAGE_TABLE);
  EXPECT_EQ(CameraGetRunningHours(link_), -1);
}

TEST_F(Rules, FailedRecordReadsLeaveTheCallersRecord) {
  std::array<uint8_t, USAGE_TABLE_SIZE> table{};
  table.fill(0x5A);
  Ignore(camera_, DATA_KIND_USAGE_TABLE);
  EXPECT_NE(CameraReadUsageTable(table, link_), LINK_OK);
  EXPECT_EQ(table[0], 0x5A);
  EXPECT_EQ(table[USAGE_TABLE_SIZE - 1], 0x5A);

  std::array<int32_t, 2> values{-3, -4};
  Ignore(camera_, 5);
  EXPECT_NE(CameraRead5(values, link_), LINK_OK);
  EXPECT_EQ(values, (std::array<int32_t, 2>{-3, -4}));
}

TEST_F(Rules, RefusalsGiveTheCamerasError) {
  ExpectRefusalsGiveTheCamerasError(camera_, link_);
}

TEST_F(Rules, GeneratedPicturesArriveWhole) { ExpectGeneratedPicturesArrive(vocabulary_, link_); }

TEST_F(Rules, GuardedWritesAndReadsSendNothing) {
  EXPECT_EQ(LinkSetError(LINK_ERROR_NAK, link_), LINK_ERROR_NAK);
  EXPECT_EQ(CameraRead114({}, link_), LINK_ERROR_COMMAND);
  std::array<uint8_t, 12> short_buffer{};
  EXPECT_EQ(CameraRead114(short_buffer, link_), LINK_ERROR_COMMAND);
  EXPECT_EQ(LinkLastError(link_), LINK_ERROR_NAK);

  const std::vector<uint8_t> too_long(WRITE_58_MAX_SIZE + 1);
  EXPECT_EQ(CameraWrite58(too_long, link_), LINK_ERROR_COMMAND);
  EXPECT_EQ(CameraWriteText37(std::string(32, 'x'), link_), LINK_ERROR_INVALID_ARGUMENT);
  EXPECT_TRUE(TakeRequests().empty());
}

}  // namespace
}  // namespace pelox
