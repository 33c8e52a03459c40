#pragma once
// Simulated SG_IO device nodes: the candidates discovery sees, each with the
// SCSI device behind it, or a node that may not be opened.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/storage/scsi_device.h"

namespace pelox::sim {

struct SimSgNode {
  std::string path;
  ScsiDevice* device = nullptr;  // null: opening fails
  bool denied = false;           // opening fails for lack of permission
};

void SgDevicesReset();
// Nodes are offered in the order they are added.
void SgDeviceAdd(const SimSgNode& node);

int32_t SgOpenHandles();
// The time-out of every command run, in milliseconds: each device's in
// order, one device after another.
std::vector<uint32_t> SgTimeoutsMs();

}  // namespace pelox::sim
