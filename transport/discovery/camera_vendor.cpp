#include "transport/discovery/camera_vendor.h"

#include <array>
#include <string_view>

namespace pelox {
namespace {

struct CameraVendor {
  std::string_view name;
  uint16_t code;
};

// No two names begin with the same letter.
constexpr std::array<CameraVendor, 5> CAMERA_VENDORS{{
    {"OLYMPUS", VENDOR_OLYMPUS},
    {"EPSON", VENDOR_EPSON},
    {"PELOX", VENDOR_PELOX},
    {"MINOLTA", VENDOR_MINOLTA},
    {"SANYO", VENDOR_SANYO},
}};

constexpr uint8_t Upper(uint8_t c) {
  return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 'a' + 'A') : c;
}

}  // namespace

int32_t CameraVendorLookup(std::span<const uint8_t> vendor_field, uint16_t& code) {
  if (vendor_field.empty()) return VENDOR_NOT_A_CAMERA;
  for (const CameraVendor& vendor : CAMERA_VENDORS) {
    if (Upper(vendor_field[0]) != static_cast<uint8_t>(vendor.name[0])) continue;
    if (vendor_field.size() < vendor.name.size()) return VENDOR_NOT_A_CAMERA;
    for (size_t i = 0; i < vendor.name.size(); ++i) {
      if (Upper(vendor_field[i]) != static_cast<uint8_t>(vendor.name[i]))
        return VENDOR_NOT_A_CAMERA;
    }
    code = vendor.code;
    return VENDOR_FOUND;
  }
  return VENDOR_NOT_A_CAMERA;
}

}  // namespace pelox
