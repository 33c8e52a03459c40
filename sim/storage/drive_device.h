#pragma once
// What a drive handle stands for on the simulated platform: the SCSI device
// behind an opened drive or SG node.
#include "sim/storage/scsi_device.h"

namespace pelox {

struct DriveDevice {
  sim::ScsiDevice* device;
};

}  // namespace pelox
