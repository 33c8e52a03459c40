#pragma once
/// @file
/// The camera's value ranges, one row per property id. Set requests outside a
/// row are refused before anything is sent; answers outside it are rejected.
#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

struct ValueRange {
  uint32_t minimum;
  uint32_t maximum;
};

inline constexpr size_t RANGE_TABLE_ROWS = 138;

namespace range_detail {

struct RangeRows {
  ValueRange range;
  std::array<uint8_t, 16> ids;
  size_t count;
};

inline constexpr RangeRows ROWS[] = {
    {{0, 1}, {18, 50, 89, 108, 120, 129, 130}, 7},
    {{0, 2}, {6, 30, 42, 51, 68}, 5},
    {{0, 3}, {33}, 1},
    {{0, 4}, {0, 7, 41}, 3},
    {{0, 5}, {19}, 1},
    {{0, 6}, {34}, 1},
    {{0, 7}, {35, 36}, 2},
    {{0, 10}, {53}, 1},
    {{0, 16}, {39}, 1},
    {{0, 52}, {1}, 1},
    {{0, 100}, {16}, 1},
    {{0, 255}, {20, 52, 75, 92, 109}, 5},
    {{0, 256}, {55, 56}, 2},
    {{0, 600}, {54}, 1},
    {{0, 1600}, {85}, 1},
    {{0, 3000}, {86}, 1},
    {{0, 3600}, {23, 24, 38}, 3},
    {{0, 4095}, {128}, 1},
    {{0, 4096}, {77}, 1},
    {{0, 30000}, {78}, 1},
    {{0, 65535}, {131}, 1},
    {{0, 600000000}, {3}, 1},
    {{0, 0x7FFFFFFF}, {2, 8, 9, 12, 13, 65}, 6},
    {{0, 0xFFFFFFFF}, {4, 10, 11, 28, 32, 40, 59, 72, 83, 90, 93, 103, 104, 105, 111, 118}, 16},
    {{2, 6}, {70}, 1},
    {{6, 120}, {82}, 1},
};

/// The table, one row per id, from the rows above.
constexpr std::array<ValueRange, RANGE_TABLE_ROWS> Build() {
  std::array<ValueRange, RANGE_TABLE_ROWS> table{};
  for (const RangeRows& rows : ROWS) {
    for (size_t i = 0; i < rows.count; ++i) table[rows.ids[i]] = rows.range;
  }
  return table;
}

}  // namespace range_detail

/// Every id not listed has the row [0, 0].
inline constexpr std::array<ValueRange, RANGE_TABLE_ROWS> RANGE_TABLE = range_detail::Build();

/// The row of a property id; ids beyond the table accept only 0.
constexpr ValueRange PropertyRange(uint8_t property_id) {
  return property_id < RANGE_TABLE_ROWS ? RANGE_TABLE[property_id] : ValueRange{0, 0};
}

/// Whether `value` lies in the row of `property_id`.
constexpr bool InRange(uint8_t property_id, uint32_t value) {
  const ValueRange range = PropertyRange(property_id);
  return value >= range.minimum && value <= range.maximum;
}

}  // namespace pelox
PELOX_API_END
