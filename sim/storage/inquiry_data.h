#pragma once
// Standard INQUIRY data of a removable direct-access device.
#include <cstdint>
#include <span>
#include <string_view>

namespace pelox::sim {

inline constexpr uint8_t SCSI_INQUIRY = 0x12;

// Fills as much of `data` as it holds: the vendor field (8 characters, padded
// with spaces, as given when longer text is wanted) and the product.
void FillInquiry(std::span<uint8_t> data, std::string_view vendor, std::string_view product);

}  // namespace pelox::sim
