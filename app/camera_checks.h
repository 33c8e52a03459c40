#pragma once
// The decisions of the camera check: maker, firmware family, version order
// and battery. Texts are fixed-size buffers that end at their first zero
// character or at their end.
#include <cstdint>
#include <span>
#include <string_view>

#include "app/firmware_image.h"

namespace pelox {

inline constexpr std::string_view PELOX_MAKER_TEXT = "PELOX CO.,LTD.";
inline constexpr std::string_view FAMILY_WITH_LOW_THRESHOLD = "v517";
inline constexpr uint32_t BATTERY_THRESHOLD_LOW = 50;
inline constexpr uint32_t BATTERY_THRESHOLD_DEFAULT = 80;

// The text a buffer holds.
std::string_view BufferText(std::span<const char> buffer);

bool MakerIsPelox(std::span<const char> maker);
// The first four characters, ignoring case.
bool SameVersionFamily(std::span<const char> image_version, std::span<const char> camera_version);
// The version numbers compared character by character in lower case; a
// text that ends first is the lower. "u" after the family shifts the number
// one character on.
bool ImageIsNewer(std::span<const char> image_version, std::span<const char> camera_version);
// What a front end may allow besides a newer image of the camera's family;
// the Win32 program allows nothing more.
struct VersionAllowance {
  bool same = false;   // the version the camera has
  bool older = false;  // an older version of the same family
};
// Whether the allowance takes an image that is not newer than the camera's.
bool AllowanceCovers(VersionAllowance allowance, std::span<const char> image_version,
                     std::span<const char> camera_version);
uint32_t BatteryThreshold(std::span<const char> image_version);
// A battery query result, -1 on failure, as the check reads it: a failed
// query and a level of 0 are never too low.
bool BatteryTooLow(int32_t battery_result, uint32_t threshold);

}  // namespace pelox
