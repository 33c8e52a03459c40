#include "app/camera_checks.h"

#include <algorithm>

namespace pelox {
namespace {

constexpr size_t FAMILY_LENGTH = 4;
constexpr size_t UPDATE_MARK_AT = 4;

unsigned char Lower(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// Orders two texts as lower-case unsigned bytes; a prefix is the lower.
int CompareIgnoringCase(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (Lower(a[i]) != Lower(b[i])) return Lower(a[i]) < Lower(b[i]) ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string_view Family(std::string_view version) { return version.substr(0, FAMILY_LENGTH); }

std::string_view VersionNumber(std::string_view version) {
  const bool update_mark = version.size() > UPDATE_MARK_AT && Lower(version[UPDATE_MARK_AT]) == 'u';
  const size_t start = update_mark ? UPDATE_MARK_AT + 2 : UPDATE_MARK_AT + 1;
  return start < version.size() ? version.substr(start) : std::string_view{};
}

}  // namespace

std::string_view BufferText(std::span<const char> buffer) {
  const auto end = std::find(buffer.begin(), buffer.end(), '\0');
  return std::string_view(buffer.data(), static_cast<size_t>(end - buffer.begin()));
}

bool MakerIsPelox(std::span<const char> maker) {
  return CompareIgnoringCase(BufferText(maker), PELOX_MAKER_TEXT) == 0;
}

bool SameVersionFamily(std::span<const char> image_version, std::span<const char> camera_version) {
  return CompareIgnoringCase(Family(BufferText(image_version)),
                             Family(BufferText(camera_version))) == 0;
}

bool ImageIsNewer(std::span<const char> image_version, std::span<const char> camera_version) {
  return CompareIgnoringCase(VersionNumber(BufferText(image_version)),
                             VersionNumber(BufferText(camera_version))) > 0;
}

bool AllowanceCovers(VersionAllowance allowance, std::span<const char> image_version,
                     std::span<const char> camera_version) {
  if (ImageIsNewer(camera_version, image_version)) return allowance.older;
  return allowance.same;
}

uint32_t BatteryThreshold(std::span<const char> image_version) {
  return CompareIgnoringCase(Family(BufferText(image_version)), FAMILY_WITH_LOW_THRESHOLD) == 0
             ? BATTERY_THRESHOLD_LOW
             : BATTERY_THRESHOLD_DEFAULT;
}

bool BatteryTooLow(int32_t battery_result, uint32_t threshold) {
  // The level is kept as a signed 16-bit value and compared unsigned after
  // sign extension, so -1 reads as the largest level there is.
  const auto level = static_cast<int16_t>(battery_result & 0xFFFF);
  const auto compared = static_cast<uint32_t>(static_cast<int32_t>(level));
  return compared > 0 && compared < threshold;
}

}  // namespace pelox
