#include "sim/storage/sg_devices.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <new>

#include "platform/sg.h"
#include "platform/thread.h"
#include "sim/storage/drive_device.h"

namespace pelox {

namespace sim {
namespace {

// Links on several threads reach their devices at once. The nodes are laid
// out before; a device takes one command at a time, as the kernel has it,
// since another link's discovery may ask a camera that a transfer is using.
// Nothing else orders the threads, so that races in what calls these stay
// visible to the sanitizer.
struct Device {
  Mutex one_command;
  std::vector<uint32_t> timeouts_ms;
};

struct Nodes {
  std::vector<SimSgNode> nodes;
  std::map<const ScsiDevice*, Device> devices;
};

Nodes state;
std::atomic<int32_t> open_handles{0};

DataDirection Direction(SgDirection direction) {
  switch (direction) {
    case SgDirection::FROM_DEVICE: return DataDirection::IN;
    case SgDirection::TO_DEVICE: return DataDirection::OUT;
    case SgDirection::NONE: return DataDirection::NONE;
  }
  return DataDirection::NONE;
}

}  // namespace

void SgDevicesReset() {
  state.nodes.clear();
  state.devices.clear();
  open_handles = 0;
}

void SgDeviceAdd(const SimSgNode& node) {
  state.nodes.push_back(node);
  state.devices.try_emplace(node.device);
}

int32_t SgOpenHandles() { return open_handles; }

std::vector<uint32_t> SgTimeoutsMs() {
  std::vector<uint32_t> timeouts;
  for (const auto& [scsi_device, device] : state.devices) {
    timeouts.insert(timeouts.end(), device.timeouts_ms.begin(), device.timeouts_ms.end());
  }
  return timeouts;
}

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
  sim::open_handles.fetch_add(1, std::memory_order_relaxed);
  outcome = SG_OPEN_OK;
  return device;
}

int32_t SgExecute(DriveHandle device, std::span<const uint8_t> cdb, std::span<uint8_t> data,
                  SgDirection direction, uint32_t timeout_ms, SgAnswer& answer) {
  answer = {};
  if (device == nullptr) return SG_TRANSFER_FAILED;
  sim::Device& record = sim::state.devices.at(device->device);
  std::unique_lock<Mutex> one_command(record.one_command);
  record.timeouts_ms.push_back(timeout_ms);
  const sim::ScsiOutcome outcome =
      device->device->Execute({cdb, data, sim::Direction(direction), timeout_ms});
  one_command.unlock();
  switch (outcome) {
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
  sim::open_handles.fetch_sub(1, std::memory_order_relaxed);
  delete device;
  return true;
}

}  // namespace pelox
