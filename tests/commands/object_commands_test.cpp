// Object, selected-block and sound reads against the virtual camera.
#include <gtest/gtest.h>

#include "commands/camera_commands.h"
#include "link/link_record.h"
#include "sim/camera/fault_plan.h"
#include "tests/byte_pattern.h"
#include "tests/commands/camera_fixture.h"
#include "transport/byte_order.h"

// The old value-or-failure forms stay exported, so their rows stay too.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace pelox {
namespace {

constexpr uint32_t OBJECT = 7;

const WireRequest SELECT{CLASS_SET, PROPERTY_OBJECT_NUMBER, Le32Bytes(OBJECT)};

using test::Pattern;

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t size) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)};
}

class Objects : public CommandsOnCamera {
 protected:
  void SetUp() override {
    CommandsOnCamera::SetUp();
    object_.data = Pattern(5000, 1);
    object_.secondary = Pattern(300, 2);
    object_.property_39 = 11;
    vocabulary_.AddObject(OBJECT, object_);
  }
  sim::SimObject object_;
};

TEST_F(Objects, SizesSelectTheObjectThenAsk) {
  EXPECT_EQ(CameraGetObjectSize(OBJECT, link_), 5000);
  EXPECT_EQ(CameraGetSecondarySize(OBJECT, link_), 300);
  EXPECT_EQ(CameraGet39(OBJECT, link_), 11);
  EXPECT_EQ(
      TakeRequests(),
      (std::vector<WireRequest>{
          SELECT, {CLASS_GET, 12, {}}, SELECT, {CLASS_GET, 13, {}}, SELECT, {CLASS_GET, 39, {}}}));
  EXPECT_EQ(CameraGetObjectSize(99, link_), -1);
  EXPECT_EQ(CameraGet39(99, link_), -1);
  uint32_t size = 0;
  EXPECT_EQ(CameraGetObjectSizeChecked(OBJECT, size, link_), LINK_OK);
  EXPECT_EQ(size, 5000u);
  EXPECT_EQ(CameraGetSecondarySizeChecked(OBJECT, size, link_), LINK_OK);
  EXPECT_EQ(size, 300u);
  const LinkError refused = CameraGetObjectSizeChecked(99, size, link_);
  EXPECT_NE(refused, LINK_OK);
  EXPECT_EQ(refused, LinkLastError(link_));
  EXPECT_EQ(size, 300u);
}

TEST_F(Objects, ReadsFetchExactlyTheObjectsBytes) {
  std::vector<uint8_t> buffer(6000, 0xEE);
  ASSERT_EQ(CameraReadObject(buffer, OBJECT, link_), LINK_OK);
  EXPECT_EQ(Prefix(buffer, 5000), object_.data);
  EXPECT_EQ(buffer[5000], 0xEE);
  EXPECT_EQ(TakeRequests(),
            (std::vector<WireRequest>{SELECT, {CLASS_GET, 12, {}}, {CLASS_READ, 14, {}}}));
  ASSERT_EQ(CameraReadSecondary(buffer, OBJECT, link_), LINK_OK);
  EXPECT_EQ(Prefix(buffer, 300), object_.secondary);
}

TEST_F(Objects, ObjectSizesTheBufferCannotHoldAreRefused) {
  std::vector<uint8_t> buffer(4999, 0xEE);
  EXPECT_EQ(CameraReadObject(buffer, OBJECT, link_), LINK_ERROR_UNEXPECTED);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{SELECT, {CLASS_GET, 12, {}}}));
  EXPECT_EQ(buffer, std::vector<uint8_t>(4999, 0xEE));

  Settle();
  int32_t size = 0;
  EXPECT_EQ(CameraReadCurrentObject(buffer, size, link_), LINK_ERROR_UNEXPECTED);
  EXPECT_EQ(size, 5000);
  EXPECT_EQ(buffer, std::vector<uint8_t>(4999, 0xEE));
}

TEST_F(Objects, EmptyObjectsAndFailedSelectionsReadNothing) {
  vocabulary_.AddObject(8, {});
  std::vector<uint8_t> buffer(100);
  EXPECT_EQ(CameraReadObject(buffer, 8, link_), LINK_ERROR_EMPTY_OBJECT);
  EXPECT_EQ(CameraReadSecondary(buffer, 8, link_), LINK_ERROR_EMPTY_OBJECT);
  TakeRequests();
  EXPECT_NE(CameraReadObject(buffer, 99, link_), LINK_OK);
  EXPECT_NE(CameraReadSecondary(buffer, 99, link_), LINK_OK);
  for (const WireRequest& request : TakeRequests()) EXPECT_EQ(request.request_class, CLASS_SET);
}

TEST_F(Objects, TheCurrentObjectIsReadWithoutSelection) {
  std::vector<uint8_t> buffer(5000);
  int32_t size = 0;
  ASSERT_TRUE(camera_.Model().SetProperty(PROPERTY_OBJECT_NUMBER, OBJECT, 0));
  link_->rx_seq = 9;
  EXPECT_EQ(CameraReadCurrentObject(buffer, size, link_), LINK_OK);
  EXPECT_EQ(size, 5000);
  EXPECT_EQ(buffer, object_.data);
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{{CLASS_GET, 12, {}}, {CLASS_READ, 14, {}}}));
}

TEST_F(Objects, SecondaryDataOfOneMakerIsMovedToItsJpegStart) {
  sim::SimObject object;
  object.secondary = {0x00, 0x11, 0xFF, 0x00, 0xFF, 0xD8, 0x22, 0x33};
  vocabulary_.AddObject(9, object);
  std::vector<uint8_t> buffer(8);

  ASSERT_EQ(CameraReadSecondary(buffer, 9, link_), LINK_OK);
  EXPECT_EQ(buffer, object.secondary);

  link_->vendor_code = VENDOR_CODE_JPEG_OFFSET;
  ASSERT_EQ(CameraReadSecondary(buffer, 9, link_), LINK_OK);
  EXPECT_EQ(Prefix(buffer, 4), (std::vector<uint8_t>{0xFF, 0xD8, 0x22, 0x33}));

  // Data that starts with the marker, or lacks it, stays as read.
  for (const std::vector<uint8_t>& secondary : {std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0xD8},
                                                std::vector<uint8_t>{0xFF, 0x00, 0x01, 0xD8}}) {
    object.secondary = secondary;
    vocabulary_.AddObject(9, object);
    std::vector<uint8_t> data(4);
    ASSERT_EQ(CameraReadSecondary(data, 9, link_), LINK_OK);
    EXPECT_EQ(data, secondary);
  }
}

TEST_F(Objects, SelectedBlockReadsSelectTheirObjectOrEntryFirst) {
  object_.blobs[47] = Pattern(32, 3);
  object_.blobs[79] = Pattern(13, 4);
  object_.blobs[92] = Pattern(2024, 5);
  vocabulary_.AddObject(OBJECT, object_);
  vocabulary_.SetEntryBlob(84, 3, Pattern(9, 6));

  std::array<int32_t, 8> record{};
  ASSERT_EQ(CameraRead47(OBJECT, record, link_), LINK_OK);
  EXPECT_EQ(static_cast<uint32_t>(record[7]),
            LoadLe32(std::span(object_.blobs[47]).subspan<28, 4>()));
  std::array<uint8_t, 13> block79{};
  ASSERT_EQ(CameraRead79(block79, OBJECT, link_), LINK_OK);
  EXPECT_EQ(std::vector<uint8_t>(block79.begin(), block79.end()), object_.blobs[79]);
  std::vector<uint8_t> block92(2024);
  ASSERT_EQ(CameraRead92(OBJECT, std::span(block92).first<2024>(), link_), LINK_OK);
  EXPECT_EQ(block92, object_.blobs[92]);
  std::array<uint8_t, 9> block84{};
  ASSERT_EQ(CameraRead84(block84, 3, link_), LINK_OK);
  EXPECT_EQ(std::vector<uint8_t>(block84.begin(), block84.end()), Pattern(9, 6));
  EXPECT_EQ(TakeRequests(), (std::vector<WireRequest>{SELECT,
                                                      {CLASS_READ, 47, {}},
                                                      SELECT,
                                                      {CLASS_READ, 79, {}},
                                                      SELECT,
                                                      {CLASS_READ, 92, {}},
                                                      {CLASS_SET, 83, Le32Bytes(3)},
                                                      {CLASS_READ, 84, {}}}));

  EXPECT_EQ(CameraRead47(99, record, link_), -1);
  EXPECT_EQ(CameraRead79(block79, 99, link_), -1);
  EXPECT_EQ(CameraRead57(257, *std::make_unique<Record57>(), link_), -1);
  for (const WireRequest& request : TakeRequests()) EXPECT_EQ(request.request_class, CLASS_SET);
}

TEST_F(Objects, MixedRecordsDecodeEveryFieldAtItsOffset) {
  const std::vector<uint8_t> block57 = Pattern(72, 10);
  vocabulary_.SetEntryBlob(57, 256, block57);
  Record57 r57{};
  ASSERT_EQ(CameraRead57(256, r57, link_), LINK_OK);
  EXPECT_EQ(r57.bytes_0[0], block57[0]);
  EXPECT_EQ(r57.bytes_0[11], block57[11]);
  EXPECT_EQ(r57.bytes_12[0], block57[12]);
  EXPECT_EQ(r57.values_20[0], block57[20] | block57[21] << 8);
  EXPECT_EQ(r57.values_20[2], block57[24] | block57[25] << 8);
  EXPECT_EQ(r57.bytes_26[0], block57[26]);
  EXPECT_EQ(r57.bytes_26[39], block57[65]);
  EXPECT_EQ(static_cast<uint32_t>(r57.value_66), LoadLe32(std::span(block57).subspan<66, 4>()));
  EXPECT_EQ(r57.value_70, block57[70] | block57[71] << 8);

  const std::vector<uint8_t> block67 = Pattern(88, 20);
  vocabulary_.SetBlob(67, block67);
  Record67 r67{};
  ASSERT_EQ(CameraRead67(r67, link_), LINK_OK);
  EXPECT_EQ(r67.value_0 & 0xFF, block67[0]);
  EXPECT_EQ(r67.bytes_4[0], block67[4]);
  EXPECT_EQ(r67.bytes_36[31], block67[67]);
  EXPECT_EQ(r67.values_68[0] & 0xFF, block67[68]);
  EXPECT_EQ((r67.values_68[4] >> 24) & 0xFF, block67[87]);

  object_.blobs[74] = Pattern(76, 30);
  vocabulary_.AddObject(OBJECT, object_);
  Record74 r74{};
  ASSERT_EQ(CameraRead74(OBJECT, r74, link_), LINK_OK);
  EXPECT_EQ(r74.values_0[4] & 0xFF, object_.blobs[74][16]);
  EXPECT_EQ(r74.bytes_20[19], object_.blobs[74][39]);
  EXPECT_EQ(r74.values_40[0] & 0xFF, object_.blobs[74][40]);
  EXPECT_EQ((r74.values_40[8] >> 24) & 0xFF, object_.blobs[74][75]);

  std::vector<uint8_t> block91 = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 1, 0, 0, 0, 2, 0, 0, 0};
  vocabulary_.SetEntryBlob(91, 4, block91);
  Record91 r91{};
  r91.text.fill('x');
  ASSERT_EQ(CameraRead91(4, r91, link_), LINK_OK);
  EXPECT_STREQ(r91.text.data(), "ABCDEFGH");
  EXPECT_EQ(r91.values_8, (std::array<int32_t, 2>{1, 2}));

  const std::vector<uint8_t> block112 = Pattern(40, 40);
  vocabulary_.SetBlob(112, block112);
  Record112 r112{};
  ASSERT_EQ(CameraRead112(r112, link_), LINK_OK);
  EXPECT_EQ(r112.bytes_0[7], block112[7]);
  EXPECT_EQ(r112.bytes_8[15], block112[23]);
  EXPECT_EQ(r112.bytes_24[3], block112[27]);
  EXPECT_EQ(r112.bytes_28[11], block112[39]);
}

}  // namespace
}  // namespace pelox
