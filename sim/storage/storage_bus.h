#pragma once
// The simulated platform as one storage variant sees it: the system that
// takes the variant, and cameras placed where the variant looks for them.
#include <cstdint>

#include "sim/storage/scsi_device.h"

namespace pelox::sim {

enum class StorageVariant { ASPI, PASS_THROUGH, SG_IO };

// Every simulated storage entry point back to empty, the system Linux.
void StorageBusReset();
// Reports the system that takes the variant and readies its bus: an ASPI
// manager with one adapter, or a fixed drive C:, or nothing for SG_IO.
void StorageBusUse(StorageVariant variant);
// Places a device as the variant's `position`-th candidate (from 1): ASPI
// adapter 0 target `position`, removable drive D: + `position`, /dev/sg<position>.
void StorageBusAttach(StorageVariant variant, int32_t position, ScsiDevice& device);

}  // namespace pelox::sim
