#include "link/range_table.h"

#include <gtest/gtest.h>

#include <array>

#include "sim/camera/camera_ranges.h"

namespace pelox {
namespace {

TEST(RangeTable, ListsEveryIdAtMostOnceSoNoRowHidesAnother) {
  std::array<int, RANGE_TABLE_ROWS> seen{};
  for (const auto& rows : range_detail::ROWS) {
    for (size_t i = 0; i < rows.count; ++i) {
      ASSERT_LT(rows.ids[i], RANGE_TABLE_ROWS);
      EXPECT_EQ(++seen[rows.ids[i]], 1) << "id " << int{rows.ids[i]};
    }
  }
}

TEST(RangeTable, BoundsAreInclusiveAtBothEnds) {
  EXPECT_FALSE(InRange(82, 5));
  EXPECT_TRUE(InRange(82, 6));
  EXPECT_TRUE(InRange(82, 120));
  EXPECT_FALSE(InRange(82, 121));
  EXPECT_FALSE(InRange(70, 1));
  for (uint32_t value = 2; value <= 6; ++value) EXPECT_TRUE(InRange(70, value)) << value;
  EXPECT_FALSE(InRange(70, 7));
  EXPECT_TRUE(InRange(16, 100));
  EXPECT_FALSE(InRange(16, 101));
}

TEST(RangeTable, ComparesUnsignedSoNegativeValuesFallAboveSignedRows) {
  EXPECT_TRUE(InRange(4, 0xFFFFFFFFu));
  EXPECT_TRUE(InRange(2, 0x7FFFFFFFu));
  EXPECT_FALSE(InRange(2, 0x80000000u));
  EXPECT_FALSE(InRange(35, static_cast<uint32_t>(-1)));
}

TEST(RangeTable, UnlistedIdsAndIdsBeyondTheTableAcceptOnlyZero) {
  for (const int id : {5, 14, 26, 29, 43, 48, 76, 123, 137, 138, 255}) {
    EXPECT_TRUE(InRange(static_cast<uint8_t>(id), 0)) << id;
    EXPECT_FALSE(InRange(static_cast<uint8_t>(id), 1)) << id;
  }
}

// The camera keeps its own table; the two must agree on every id a byte can
// carry, or one side would accept what the other refuses.
TEST(RangeTable, AgreesWithTheCamerasOwnTableRowByRow) {
  for (int id = 0; id <= 255; ++id) {
    const ValueRange host = PropertyRange(static_cast<uint8_t>(id));
    const sim::CameraRange camera = sim::CameraPropertyRange(static_cast<uint8_t>(id));
    EXPECT_EQ(host.minimum, camera.minimum) << "id " << id;
    EXPECT_EQ(host.maximum, camera.maximum) << "id " << id;
  }
}

}  // namespace
}  // namespace pelox
