#pragma once
// Simulated drives for the pass-through variant: letters, drive types, and
// the SCSI device behind each drive that can be opened.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/spti.h"
#include "sim/storage/scsi_device.h"

namespace pelox::sim {

inline constexpr uint32_t DRIVE_FIXED = 3;
inline constexpr uint32_t DRIVE_CDROM = 5;

struct SimDrive {
  char letter = 'C';
  uint32_t type = DRIVE_FIXED;
  ScsiDevice* device = nullptr;  // null: the drive cannot be opened
};

void PassThroughDrivesReset();
// Drives are reported in the order they are added.
void PassThroughDriveAdd(const SimDrive& drive);

// Every device name opened, in order (discovery's and the pipe's alike).
const std::vector<std::string>& PassThroughOpenedNames();
int32_t PassThroughOpenHandles();
uint32_t PassThroughErrorMode();
// The time-out of every command run, in seconds, in order.
const std::vector<uint32_t>& PassThroughTimeouts();

}  // namespace pelox::sim
