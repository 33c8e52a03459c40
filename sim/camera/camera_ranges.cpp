#include "sim/camera/camera_ranges.h"

#include <algorithm>
#include <array>
#include <functional>

namespace pelox::sim {
namespace {

struct RangeEntry {
  uint8_t id;
  CameraRange range;
};

constexpr uint32_t ANY = 0xFFFFFFFF;
constexpr uint32_t POSITIVE = 0x7FFFFFFF;

// By property id, each id once.
constexpr std::array RANGES{
    RangeEntry{0, {0, 4}},         RangeEntry{1, {0, 52}},       RangeEntry{2, {0, POSITIVE}},
    RangeEntry{3, {0, 600000000}}, RangeEntry{4, {0, ANY}},      RangeEntry{6, {0, 2}},
    RangeEntry{7, {0, 4}},         RangeEntry{8, {0, POSITIVE}}, RangeEntry{9, {0, POSITIVE}},
    RangeEntry{10, {0, ANY}},      RangeEntry{11, {0, ANY}},     RangeEntry{12, {0, POSITIVE}},
    RangeEntry{13, {0, POSITIVE}}, RangeEntry{16, {0, 100}},     RangeEntry{18, {0, 1}},
    RangeEntry{19, {0, 5}},        RangeEntry{20, {0, 255}},     RangeEntry{23, {0, 3600}},
    RangeEntry{24, {0, 3600}},     RangeEntry{28, {0, ANY}},     RangeEntry{30, {0, 2}},
    RangeEntry{32, {0, ANY}},      RangeEntry{33, {0, 3}},       RangeEntry{34, {0, 6}},
    RangeEntry{35, {0, 7}},        RangeEntry{36, {0, 7}},       RangeEntry{38, {0, 3600}},
    RangeEntry{39, {0, 16}},       RangeEntry{40, {0, ANY}},     RangeEntry{41, {0, 4}},
    RangeEntry{42, {0, 2}},        RangeEntry{50, {0, 1}},       RangeEntry{51, {0, 2}},
    RangeEntry{52, {0, 255}},      RangeEntry{53, {0, 10}},      RangeEntry{54, {0, 600}},
    RangeEntry{55, {0, 256}},      RangeEntry{56, {0, 256}},     RangeEntry{59, {0, ANY}},
    RangeEntry{65, {0, POSITIVE}}, RangeEntry{68, {0, 2}},       RangeEntry{70, {2, 6}},
    RangeEntry{72, {0, ANY}},      RangeEntry{75, {0, 255}},     RangeEntry{77, {0, 4096}},
    RangeEntry{78, {0, 30000}},    RangeEntry{82, {6, 120}},     RangeEntry{83, {0, ANY}},
    RangeEntry{85, {0, 1600}},     RangeEntry{86, {0, 3000}},    RangeEntry{89, {0, 1}},
    RangeEntry{90, {0, ANY}},      RangeEntry{92, {0, 255}},     RangeEntry{93, {0, ANY}},
    RangeEntry{103, {0, ANY}},     RangeEntry{104, {0, ANY}},    RangeEntry{105, {0, ANY}},
    RangeEntry{108, {0, 1}},       RangeEntry{109, {0, 255}},    RangeEntry{111, {0, ANY}},
    RangeEntry{118, {0, ANY}},     RangeEntry{120, {0, 1}},      RangeEntry{128, {0, 4095}},
    RangeEntry{129, {0, 1}},       RangeEntry{130, {0, 1}},      RangeEntry{131, {0, 65535}},
};

// Strictly increasing, so that a lookup finds the one row of an id.
static_assert(std::ranges::is_sorted(RANGES, std::ranges::less_equal{}, &RangeEntry::id));

}  // namespace

CameraRange CameraPropertyRange(uint8_t id) {
  const auto found = std::ranges::lower_bound(RANGES, id, {}, &RangeEntry::id);
  return found != RANGES.end() && found->id == id ? found->range : CameraRange{0, 0};
}

bool CameraAcceptsValue(uint8_t id, uint32_t value) {
  const CameraRange range = CameraPropertyRange(id);
  return value >= range.minimum && value <= range.maximum;
}

}  // namespace pelox::sim
