#pragma once
/// @file
/// The camera makers recognised by the vendor field of a device's INQUIRY data.
#include <cstdint>
#include <span>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

inline constexpr uint16_t VENDOR_OLYMPUS = 0x07B4;
inline constexpr uint16_t VENDOR_EPSON = 0x04B8;
inline constexpr uint16_t VENDOR_PELOX = 0x0B1E;
inline constexpr uint16_t VENDOR_MINOLTA = 0x0686;
inline constexpr uint16_t VENDOR_SANYO = 0x0474;

enum VendorLookup : int32_t { VENDOR_FOUND = 0, VENDOR_NOT_A_CAMERA = 21 };

/// INQUIRY data: the vendor field starts at byte 8 and is 8 bytes long.
inline constexpr size_t INQUIRY_VENDOR_OFFSET = 8;
inline constexpr size_t INQUIRY_VENDOR_SIZE = 8;
inline constexpr size_t INQUIRY_DATA_SIZE = 36;

/// VENDOR_FOUND with the maker's code written to `code`, or
/// VENDOR_NOT_A_CAMERA with `code` untouched. Only the maker's name is
/// compared, without regard to case, so padding and trailing text match.
int32_t CameraVendorLookup(std::span<const uint8_t> vendor_field, uint16_t& code);

}  // namespace pelox
PELOX_API_END
