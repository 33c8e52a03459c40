#include "transport/byte_order.h"

#include <gtest/gtest.h>

#include <array>

namespace pelox {
namespace {

TEST(ByteOrder, LittleEndianValuesRoundTripLowByteFirst) {
  std::array<uint8_t, 4> bytes{};
  StoreLe32(bytes, 0x0A0B0C0Du);
  EXPECT_EQ(bytes, (std::array<uint8_t, 4>{0x0D, 0x0C, 0x0B, 0x0A}));
  EXPECT_EQ(LoadLe32(bytes), 0x0A0B0C0Du);
  std::array<uint8_t, 2> half{};
  StoreLe16(half, 0xFF13);
  EXPECT_EQ(half, (std::array<uint8_t, 2>{0x13, 0xFF}));
  EXPECT_EQ(LoadLe16(half), 0xFF13);
}

TEST(ByteOrder, TheDescriptorLengthIsBigEndian) {
  std::array<uint8_t, 4> bytes{};
  StoreBe32(bytes, 0x4A);
  EXPECT_EQ(bytes, (std::array<uint8_t, 4>{0x00, 0x00, 0x00, 0x4A}));
  EXPECT_EQ(LoadBe32(bytes), 0x4Au);
}

}  // namespace
}  // namespace pelox
