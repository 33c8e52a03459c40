#pragma once
// Finding cameras among the SCSI generic devices and removable SCSI disks.
#include <cstdint>

#include "transport/port/port_state.h"

namespace pelox {

inline constexpr uint32_t SG_INQUIRY_TIMEOUT_MS = 2000;

// Fills the device table: 0 when at least one camera was found, else -1.
// Devices that may not be opened are counted as denied (device_table.h).
int32_t SgDiscover(PortState* link);

}  // namespace pelox
