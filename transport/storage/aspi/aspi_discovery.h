#pragma once
// Finding cameras behind the ASPI host adapters and claiming one for a link.
#include <cstdint>

#include "transport/port/port_state.h"

namespace pelox {

inline constexpr uint8_t ASPI_TARGETS_PER_ADAPTER = 8;
inline constexpr int32_t ASPI_SCAN_WAIT_SECONDS = 2;

// Fills the device table and claims its first free entry: 0, or -1 when the
// manager is not ready, no camera was found or every camera is claimed.
int32_t AspiDiscover(PortState* link);
// Adds the cameras on LUN 0 of the adapter's targets; returns how many.
int32_t AspiScanAdapter(uint8_t adapter, PortState* link);
// INQUIRY through the link's request: VENDOR_FOUND with the maker's code,
// or VENDOR_NOT_A_CAMERA.
int32_t AspiInquiry(uint8_t adapter, uint8_t target, uint8_t lun, uint16_t& vendor_code,
                    PortState* link);

}  // namespace pelox
