#include "sim/storage/sg_devices.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "platform/sg.h"
#include "platform/thread.h"
#include "sim/storage/drive_device.h"

namespace pelox {

namespace sim {
namespace {

struct Nodes {
  std::vector<SimSgNode> nodes;
  int32_t open_handles = 0;
  std::vector<uint32_t> timeouts_ms;
};

Nodes state;
// Links on several threads reach their devices at once; the nodes are laid
// out before, the counts change under this lock.
Mutex counts_lock;

DataDirection Direction(SgDirection direction) {
  switch (direction) {
    case SgDirection::FROM_DEVICE: return DataDirection::IN;
    case SgDirection::TO_DEVICE: return DataDirection::OUT;
    case SgDirection::NONE: return DataDirection::NONE;
  }
  return DataDirection::NONE;
}

}  // namespace

void SgDevicesReset() { state = Nodes{}; }
void SgDeviceAdd(const SimSgNode& node) { state.nodes.push_back(node); }
int32_t SgOpenHandles() {
  const std::lock_guard<Mutex> hold(counts_lock);
  return state.open_handles;
}
const std::vector<uint32_t>& SgTimeoutsMs() { return state.timeouts_ms; }

}  // namespace sim

std::vector<std::string> SgCandidateDevices() {
  std::vector<std::string> paths;
  for (const sim::SimSgNode& node : sim::state.nodes) paths.push_back(node.path);
  return paths;
}

DriveHandle SgOpen(const std::string& path, int32_t& outcome) {
  const auto& nodes = sim::state.nodes;
  auto found = std::find_if(nodes.begin(), nodes.end(),
                            [&path](const sim::SimSgNode& node) { return node.path == path; });
  outcome = SG_OPEN_FAILED;
  if (found == nodes.end()) return nullptr;
  if (found->denied) {
    outcome = SG_OPEN_DENIED;
    return nullptr;
  }
  if (found->device == nullptr) return nullptr;
  auto* device = new (std::nothrow) DriveDevice{found->device};
  if (device == nullptr) return nullptr;
  const std::lock_guard<Mutex> hold(sim::counts_lock);
  ++sim::state.open_handles;
  outcome = SG_OPEN_OK;
  return device;
}

int32_t SgExecute(DriveHandle device, std::span<const uint8_t> cdb, std::span<uint8_t> data,
                  SgDirection direction, uint32_t timeout_ms, SgAnswer& answer) {
  answer = {};
  if (device == nullptr) return SG_TRANSFER_FAILED;
  {
    const std::lock_guard<Mutex> hold(sim::counts_lock);
    sim::state.timeouts_ms.push_back(timeout_ms);
  }
  switch (device->device->Execute({cdb, data, sim::Direction(direction), timeout_ms})) {
    case sim::ScsiOutcome::GOOD: return SG_DONE;
    case sim::ScsiOutcome::CHECK_CONDITION: {
      const std::span<const uint8_t> sense = sim::REFUSAL_SENSE;
      answer.scsi_status = sim::SCSI_STATUS_CHECK_CONDITION;
      answer.sense_length = static_cast<uint8_t>(std::min(sense.size(), answer.sense.size()));
      std::copy_n(sense.begin(), answer.sense_length, answer.sense.begin());
      return SG_CHECK_STATUS;
    }
    case sim::ScsiOutcome::NO_RESPONSE: return SG_TRANSFER_FAILED;
  }
  return SG_TRANSFER_FAILED;
}

bool SgClose(DriveHandle device) {
  if (device == nullptr) return false;
  const std::lock_guard<Mutex> hold(sim::counts_lock);
  --sim::state.open_handles;
  delete device;
  return true;
}

}  // namespace pelox
