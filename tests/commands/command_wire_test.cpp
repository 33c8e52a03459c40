// Every plain command against the virtual camera: the request the camera
// took (class, number, value or argument), the busy time of actions, and the
// value or bytes that came back. A wrong number anywhere in the command
// table shows here.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "commands/camera_commands.h"
#include "link/range_table.h"
#include "tests/commands/camera_fixture.h"
#include "transport/byte_order.h"

// The old value-or-failure forms stay exported, so their rows stay too.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace pelox {
namespace {

using Wire = CommandsOnCamera;

// A distinctive value inside the property's row.
uint32_t SampleValue(uint8_t id) {
  const ValueRange range = PropertyRange(id);
  return std::clamp<uint32_t>(id + 1000u, range.minimum, range.maximum);
}

struct GetCase {
  std::function<int32_t(CameraLink*)> get;
  uint8_t id;
};

TEST_F(Wire, EveryGetAsksForItsPropertyAndReturnsTheValue) {
  const GetCase cases[] = {
      {CameraGet0, 0},          {CameraGet1, 1},     {CameraGet2, 2},
      {CameraGet3, 3},          {CameraGet6, 6},     {CameraGet7, 7},
      {CameraGet8, 8},          {CameraGet9, 9},     {CameraGet10, 10},
      {CameraGet11, 11},        {CameraGet19, 19},   {CameraGet20, 20},
      {CameraGet28, 28},        {CameraGet33, 33},   {CameraGet34, 34},
      {CameraGet35, 35},        {CameraGet36, 36},   {CameraGet38, 38},
      {CameraGet40, 40},        {CameraGet41, 41},   {CameraGet42, 42},
      {CameraGet50, 50},        {CameraGet51, 51},   {CameraGet53, 53},
      {CameraGet55, 55},        {CameraGet59, 59},   {CameraGet65, 65},
      {CameraGet68, 68},        {CameraGet70, 70},   {CameraGet72, 72},
      {CameraGet77, 77},        {CameraGet78, 78},   {CameraGet82, 82},
      {CameraGet83, 83},        {CameraGet85, 85},   {CameraGet86, 86},
      {CameraGet89, 89},        {CameraGet103, 103}, {CameraGet108, 108},
      {CameraGet120, 120},      {CameraGet131, 131}, {CameraGetBatteryLevel, 16},
      {CameraGetUploadKey, 32},
  };
  vocabulary_.SetClockBase(SampleValue(2));
  for (const GetCase& c : cases) {
    SCOPED_TRACE("property " + std::to_string(c.id));
    if (c.id != 2) {
      ASSERT_TRUE(camera_.Model().SetProperty(c.id, SampleValue(c.id), 0));
    }
    TakeRequests();
    const int32_t value = c.get(link_);
    EXPECT_EQ(LinkLastError(link_), LINK_OK);
    EXPECT_EQ(static_cast<uint32_t>(value), SampleValue(c.id));
    EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_GET, c.id, {}}}));
  }
}

// Values from 2^31 up read as themselves only through the checked forms.
TEST_F(Wire, WideGetsReadTheTopOfTheirRangeThroughTheCheckedForm) {
  const std::pair<PropertyGetChecked, uint8_t> cases[] = {
      {CameraGet10Checked, 10}, {CameraGet11Checked, 11},   {CameraGet28Checked, 28},
      {CameraGet40Checked, 40}, {CameraGet59Checked, 59},   {CameraGet72Checked, 72},
      {CameraGet83Checked, 83}, {CameraGet103Checked, 103},
  };
  for (const auto& [get, id] : cases) {
    for (const uint32_t sample : {0x80000000u, 0xFFFFFFFFu}) {
      SCOPED_TRACE("property " + std::to_string(id) + " at " + std::to_string(sample));
      ASSERT_TRUE(camera_.Model().SetProperty(id, sample, 0));
      uint32_t value = 0;
      EXPECT_EQ(get(value, link_), LINK_OK);
      EXPECT_EQ(value, sample);
    }
  }
}

struct SetCase {
  std::function<int32_t(uint32_t, CameraLink*)> set;
  uint8_t id;
};

TEST_F(Wire, EverySetSendsItsPropertyAndValue) {
  const auto set16 = [](const PropertySet16& set) {
    return
        [set](uint32_t value, CameraLink* link) { return set(static_cast<int32_t>(value), link); };
  };
  const SetCase cases[] = {
      {CameraSet0, 0},          {CameraSet1, 1},          {CameraSetClock, 2},
      {CameraSet6, 6},          {CameraSet7, 7},          {CameraSet8, 8},
      {CameraSet9, 9},          {CameraSet19, 19},        {CameraSet20, 20},
      {CameraSet30, 30},        {CameraSet33, 33},        {CameraSet41, 41},
      {CameraSet42, 42},        {CameraSet50, 50},        {CameraSet51, 51},
      {CameraSet52, 52},        {CameraSet53, 53},        {CameraSet68, 68},
      {CameraSet70, 70},        {CameraSet72, 72},        {CameraSet76, 76},
      {CameraSet77, 77},        {CameraSet78, 78},        {CameraSet82, 82},
      {CameraSet83, 83},        {CameraSet85, 85},        {CameraSet89, 89},
      {CameraSet103, 103},      {CameraSet108, 108},      {CameraSet120, 120},
      {CameraSetUploadKey, 32}, {set16(CameraSet35), 35}, {set16(CameraSet36), 36},
      {set16(CameraSet38), 38}, {set16(CameraSet86), 86},
  };
  for (const SetCase& c : cases) {
    SCOPED_TRACE("property " + std::to_string(c.id));
    const uint32_t value = SampleValue(c.id);
    EXPECT_EQ(c.set(value, link_), LINK_OK);
    EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_SET, c.id, Le32Bytes(value)}}));
  }
  for (const auto& clear : {CameraSet109, CameraClear109}) {
    ASSERT_TRUE(camera_.Model().SetProperty(109, 7, 0));
    EXPECT_EQ(clear(link_), LINK_OK);
    EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_SET, 109, Le32Bytes(0)}}));
    EXPECT_EQ(camera_.Model().GetProperty(109, 0), 0u);
  }
}

struct ActionCase {
  std::function<int32_t(CameraLink*)> run;
  uint8_t code;
  uint8_t argument;
  uint32_t busy_ms;
};

TEST_F(Wire, EveryActionSendsItsCodeAndArgumentAndStaysBusyForItsTime) {
  vocabulary_.AddObject(7, {});
  const ActionCase cases[] = {
      {CameraAction0, 0, 0, 60000},
      {CameraAction2, 2, 0, 60000},
      {[](CameraLink* link) { return CameraAction3(1, link); }, 3, 1, 60000},
      {CameraAction4, 4, 0, 60000},
      {CameraAction5, 5, 0, 60000},
      {[](CameraLink* link) { return CameraAction6(0x1A5, link); }, 6, 0xA5, 180000},
      {[](CameraLink* link) { return CameraAction8(4, 0, link); }, 8, 4, 60000},
      {[](CameraLink* link) { return CameraAction12(9, link); }, 12, 9, 60000},
      {[](CameraLink* link) { return CameraAction16(99, link); }, 16, 0, 60000},
      {CameraAction18, 18, 0, 120000},
      {CameraAction19, 19, 0, 120000},
  };
  for (const ActionCase& c : cases) {
    SCOPED_TRACE("action " + std::to_string(c.code));
    EXPECT_EQ(c.run(link_), LINK_OK);
    EXPECT_EQ(LinkCurrentState(link_), LINK_STATE_BUSY);
    EXPECT_EQ(BusyMsLeft(), c.busy_ms);
    EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_ACTION, c.code, {c.argument}}}));
    Settle();
  }
}

TEST_F(Wire, SelectingActionsSelectFirst) {
  vocabulary_.AddObject(7, {});
  const WireRequest select_object{CLASS_SET, 4, Le32Bytes(7)};
  EXPECT_EQ(CameraAction7(7, link_), LINK_OK);
  EXPECT_EQ(BusyMsLeft(), 60000u);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{select_object, {CLASS_ACTION, 7, {0}}}));
  Settle();
  EXPECT_EQ(CameraAction9(3, 7, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{select_object, {CLASS_ACTION, 9, {3}}}));
  Settle();
  EXPECT_EQ(CameraAction14(7, link_), LINK_OK);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{select_object, {CLASS_ACTION, 14, {0}}}));
  Settle();
  EXPECT_EQ(CameraAction13(200, link_), LINK_OK);
  EXPECT_EQ(BusyMsLeft(), 80000u);
  EXPECT_EQ(TakeRequests(),
            (std::vector<WireRequest>{{CLASS_SET, 56, Le32Bytes(200)}, {CLASS_ACTION, 13, {0}}}));
}

TEST_F(Wire, ActionsOnAnObjectTheCameraRefusesToSelectSendNoAction) {
  EXPECT_EQ(CameraAction7(99, link_), -1);
  EXPECT_EQ(CameraAction9(1, 99, link_), -1);
  EXPECT_EQ(CameraAction13(257, link_), -1);
  EXPECT_TRUE(vocabulary_.Actions().empty());
}

// A block whose 32-bit little-endian values are 0x01020304, 0x05060708, ...
std::vector<uint8_t> CountingBlock(size_t size) {
  std::vector<uint8_t> block(size);
  for (size_t i = 0; i < size; ++i) block[i] = static_cast<uint8_t>(i + 1);
  return block;
}

int32_t Le32At(const std::vector<uint8_t>& block, size_t offset) {
  return static_cast<int32_t>(LoadLe32(std::span(block).subspan(offset).first<4>()));
}

struct RecordReadCase {
  std::function<int32_t(std::span<int32_t>, CameraLink*)> read;
  uint8_t kind;
  size_t block_size;
  size_t count;
};

template <typename Read, size_t COUNT>
std::function<int32_t(std::span<int32_t>, CameraLink*)> RecordOf(Read read) {
  return [read](std::span<int32_t> record, CameraLink* link) {
    return read(record.first<COUNT>(), link);
  };
}

TEST_F(Wire, EveryValueRecordReadAsksForItsKindAndDecodesItsValues) {
  const RecordReadCase cases[] = {
      {RecordOf<decltype(CameraRead5), 2>(CameraRead5), 5, 8, 2},
      {RecordOf<decltype(CameraRead45), 8>(CameraRead45), 45, 32, 8},
      {RecordOf<decltype(CameraRead46), 7>(CameraRead46), 46, 32, 7},
      {RecordOf<decltype(CameraRead49), 12>(CameraRead49), 49, 48, 12},
      {RecordOf<decltype(CameraRead60), 10>(CameraRead60), 60, 40, 10},
      {RecordOf<decltype(CameraRead61), 12>(CameraRead61), 61, 48, 12},
      {RecordOf<decltype(CameraRead69), 2>(CameraRead69), 69, 8, 2},
      {RecordOf<decltype(CameraRead71), 2>(CameraRead71), 71, 8, 2},
      {RecordOf<decltype(CameraRead73), 10>(CameraRead73), 73, 40, 10},
      {RecordOf<decltype(CameraRead80), 8>(CameraRead80), 80, 32, 8},
      {RecordOf<decltype(CameraRead81), 8>(CameraRead81), 81, 32, 8},
      {RecordOf<decltype(CameraRead87), 8>(CameraRead87), 87, 32, 8},
      {RecordOf<decltype(CameraRead88), 8>(CameraRead88), 88, 32, 8},
      {RecordOf<decltype(CameraRead102), 5>(CameraRead102), 102, 20, 5},
      {RecordOf<decltype(CameraRead111), 2>(CameraRead111), 111, 8, 2},
      {RecordOf<decltype(CameraRead124), 16>(CameraRead124), 124, 68, 16},
  };
  for (const RecordReadCase& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind));
    const std::vector<uint8_t> block = CountingBlock(c.block_size);
    vocabulary_.SetBlob(c.kind, block);
    std::array<int32_t, 16> record{};
    record.fill(-7);
    EXPECT_EQ(c.read(record, link_), LINK_OK);
    EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_READ, c.kind, {}}}));
    for (size_t i = 0; i < c.count; ++i) EXPECT_EQ(record[i], Le32At(block, 4 * i)) << i;
    for (size_t i = c.count; i < record.size(); ++i) EXPECT_EQ(record[i], -7) << i;
  }
}

struct RecordWriteCase {
  std::function<int32_t(std::span<const int32_t>, CameraLink*)> write;
  uint8_t kind;
  size_t block_size;
  size_t count;
};

template <typename Write, size_t COUNT>
std::function<int32_t(std::span<const int32_t>, CameraLink*)> RecordTo(Write write) {
  return [write](std::span<const int32_t> record, CameraLink* link) {
    return write(record.first<COUNT>(), link);
  };
}

TEST_F(Wire, EveryValueRecordWriteEncodesItsValuesIntoItsBlock) {
  const RecordWriteCase cases[] = {
      {RecordTo<decltype(CameraWrite5), 2>(CameraWrite5), 5, 8, 2},
      {RecordTo<decltype(CameraWrite61), 12>(CameraWrite61), 61, 48, 12},
      {RecordTo<decltype(CameraWrite69), 2>(CameraWrite69), 69, 8, 2},
      {RecordTo<decltype(CameraWrite71), 2>(CameraWrite71), 71, 8, 2},
      {RecordTo<decltype(CameraWrite87), 8>(CameraWrite87), 87, 32, 8},
      {RecordTo<decltype(CameraWrite102), 5>(CameraWrite102), 102, 20, 5},
      {RecordTo<decltype(CameraWrite124), 16>(CameraWrite124), 124, 68, 16},
  };
  std::array<int32_t, 16> record{};
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<int32_t>(0x11223300 + i) * -1;
  for (const RecordWriteCase& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind));
    std::vector<uint8_t> expected(c.block_size);
    for (size_t i = 0; i < c.count; ++i) {
      const std::vector<uint8_t> value = Le32Bytes(static_cast<uint32_t>(record[i]));
      std::copy(value.begin(), value.end(), expected.begin() + static_cast<std::ptrdiff_t>(4 * i));
    }
    EXPECT_EQ(c.write(record, link_), LINK_OK);
    EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_WRITE, c.kind, expected}}));
  }
}

struct RawReadCase {
  std::function<int32_t(std::span<uint8_t>, CameraLink*)> read;
  uint8_t kind;
  size_t block_size;
};

template <typename Read, size_t SIZE>
std::function<int32_t(std::span<uint8_t>, CameraLink*)> BufferOf(Read read) {
  return [read](std::span<uint8_t> buffer, CameraLink* link) {
    return read(buffer.first<SIZE>(), link);
  };
}

TEST_F(Wire, EveryRawReadAsksForItsKindAndCopiesTheBlock) {
  const RawReadCase cases[] = {
      {BufferOf<decltype(CameraRead21), 2048>(CameraRead21), 21, 2048},
      {BufferOf<decltype(CameraRead22), 32>(CameraRead22), 22, 32},
      {BufferOf<decltype(CameraRead25), 32>(CameraRead25), 25, 32},
      {BufferOf<decltype(CameraRead26), 32>(CameraRead26), 26, 32},
      {BufferOf<decltype(CameraRead27), 64>(CameraRead27), 27, 64},
      {BufferOf<decltype(CameraRead31), 400>(CameraRead31), 31, 400},
      {BufferOf<decltype(CameraRead113), 10>(CameraRead113), 113, 10},
      {[](std::span<uint8_t> buffer, CameraLink* link) { return CameraRead114(buffer, link); }, 114,
       13},
      {[](std::span<uint8_t> buffer, CameraLink* link) {
         return CameraReadUsageTable(buffer.first<1032>(), link);
       },
       123, 1032},
      {BufferOf<decltype(CameraRead136), 8>(CameraRead136), 136, 8},
      {BufferOf<decltype(CameraRead137), 32>(CameraRead137), 137, 32},
  };
  for (const RawReadCase& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind));
    std::vector<uint8_t> block = CountingBlock(c.block_size);
    // The firmware version comes from the camera's contract: a shorter text.
    if (c.kind == 26) {
      const std::string version = camera_.Model().FirmwareVersion();
      block.assign(version.begin(), version.end());
      block.push_back(0);
    } else {
      vocabulary_.SetBlob(c.kind, block);
    }
    std::vector<uint8_t> buffer(c.block_size + 1, 0xEE);
    EXPECT_EQ(c.read(buffer, link_), LINK_OK);
    EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_READ, c.kind, {}}}));
    const auto block_end = buffer.begin() + static_cast<std::ptrdiff_t>(block.size());
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), block_end), block);
    EXPECT_TRUE(std::all_of(block_end, buffer.end(), [](uint8_t byte) { return byte == 0xEE; }));
  }
}

TEST_F(Wire, EveryRawAndTextWriteSendsItsKindAndData) {
  const std::vector<uint8_t> data = CountingBlock(768);
  EXPECT_EQ(CameraWrite21(std::span(data).first<768>(), link_), LINK_OK);
  EXPECT_EQ(CameraWrite113(std::span(data).first<10>(), link_), LINK_OK);
  EXPECT_EQ(CameraWrite136(std::span(data).first<8>(), link_), LINK_OK);
  EXPECT_EQ(CameraWrite31(std::span(data).first(300), link_), LINK_OK);
  EXPECT_EQ(CameraWrite58(std::span(data).first(5), link_), LINK_OK);
  EXPECT_EQ(CameraWriteText22("hello", link_), LINK_OK);
  EXPECT_EQ(CameraWriteText37("world", link_), LINK_OK);
  EXPECT_EQ(CameraWriteText84("entry", link_), LINK_OK);
  const auto bytes = [](std::string_view text) {
    return std::vector<uint8_t>(text.begin(), text.end());
  };
  const auto first = [&](size_t count) {
    return std::vector<uint8_t>(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(count));
  };
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_WRITE, 21, first(768)},
                                                      {CLASS_WRITE, 113, first(10)},
                                                      {CLASS_WRITE, 136, first(8)},
                                                      {CLASS_WRITE, 31, first(300)},
                                                      {CLASS_WRITE, 58, first(5)},
                                                      {CLASS_WRITE, 22, bytes("hello")},
                                                      {CLASS_WRITE, 37, bytes("world")},
                                                      {CLASS_WRITE, 84, bytes("entry")}}));
  EXPECT_EQ(vocabulary_.LastWrite(21), first(768));
}

}  // namespace
}  // namespace pelox
