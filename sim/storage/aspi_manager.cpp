#include "sim/storage/aspi_manager.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

#include "platform/aspi.h"
#include "platform/event.h"

namespace pelox {

// The loaded module is the manager itself; there is one.
struct AspiModule {};

namespace sim {
namespace {

// Request layouts as the published interface gives them.
constexpr uint8_t SC_HA_INQUIRY = 0;
constexpr uint8_t SC_GET_DEV_TYPE = 1;
constexpr uint8_t SC_EXEC_SCSI_CMD = 2;
constexpr uint8_t SS_PENDING = 0x00;
constexpr uint8_t SS_COMP = 0x01;
constexpr uint8_t SS_ERR = 0x04;
constexpr uint8_t SS_INVALID_CMD = 0x80;
constexpr uint8_t SS_INVALID_HA = 0x81;
constexpr uint8_t SS_NO_DEVICE = 0x82;
constexpr uint8_t SS_INVALID_SRB = 0xE0;
constexpr uint8_t SRB_DIR_IN = 0x08;
constexpr uint8_t SRB_DIR_OUT = 0x10;
constexpr uint8_t DEVICE_TYPE_DISK = 0x00;

constexpr size_t STATUS_OFFSET = 1;
constexpr size_t ADAPTER_OFFSET = 2;
constexpr size_t FLAGS_OFFSET = 3;
constexpr size_t TARGET_OFFSET = 8;
constexpr size_t LUN_OFFSET = 9;
constexpr size_t DEVICE_TYPE_OFFSET = 10;
constexpr size_t BUFFER_LENGTH_OFFSET = 12;
constexpr size_t SENSE_LENGTH_OFFSET = 20;
constexpr size_t CDB_LENGTH_OFFSET = 21;
constexpr size_t TARGET_STATUS_OFFSET = 23;
constexpr size_t SENSE_AREA_OFFSET = 64;
constexpr size_t SENSE_AREA_SIZE = 16;
constexpr size_t CDB_OFFSET = 48;
constexpr size_t MAX_CDB_LENGTH = 16;
constexpr size_t HA_INQUIRY_SIZE = 60;
constexpr size_t GET_DEV_TYPE_SIZE = 12;
constexpr size_t EXEC_SIZE = 80;

using Address = std::tuple<uint8_t, uint8_t, uint8_t>;

struct Manager {
  AspiManagerSetup setup;
  bool installed = false;
  AspiModule module;
  bool loaded = false;
  int32_t load_count = 0;
  int32_t execute_count = 0;
  uint8_t adapter_count = 0;
  std::map<Address, ScsiDevice*> devices;
  AspiCompletion completion = AspiCompletion::BEFORE_RETURN;
};

Manager manager;

ScsiDevice* DeviceAt(uint8_t adapter, uint8_t target, uint8_t lun) {
  auto found = manager.devices.find({adapter, target, lun});
  return found != manager.devices.end() ? found->second : nullptr;
}

uint8_t Execute(std::span<uint8_t> request, std::span<uint8_t> data, EventHandle completion) {
  ++manager.execute_count;
  ScsiDevice* device =
      DeviceAt(request[ADAPTER_OFFSET], request[TARGET_OFFSET], request[LUN_OFFSET]);
  if (device == nullptr) return SS_NO_DEVICE;
  uint32_t length = 0;
  std::memcpy(&length, request.data() + BUFFER_LENGTH_OFFSET, sizeof length);
  const size_t cdb_length = request[CDB_LENGTH_OFFSET];
  if (length > data.size() || cdb_length > MAX_CDB_LENGTH) return SS_INVALID_SRB;
  const uint8_t flags = request[FLAGS_OFFSET];
  DataDirection direction = DataDirection::NONE;
  if (length > 0) direction = (flags & SRB_DIR_IN) != 0 ? DataDirection::IN : DataDirection::OUT;
  if (length > 0 && (flags & (SRB_DIR_IN | SRB_DIR_OUT)) == 0) return SS_INVALID_SRB;
  const ScsiOutcome outcome =
      device->Execute({request.subspan(CDB_OFFSET, cdb_length), data.first(length), direction});
  // A command the device never completes stays pending and is never signalled.
  if (outcome == ScsiOutcome::NO_RESPONSE) return SS_PENDING;
  const uint8_t status = outcome == ScsiOutcome::GOOD ? SS_COMP : SS_ERR;
  if (outcome == ScsiOutcome::CHECK_CONDITION) {
    // The manager asks for the sense at once and hands back what fits.
    const std::span<const uint8_t> sense = REFUSAL_SENSE;
    request[TARGET_STATUS_OFFSET] = SCSI_STATUS_CHECK_CONDITION;
    std::copy_n(sense.begin(),
                std::min({sense.size(), size_t{request[SENSE_LENGTH_OFFSET]}, SENSE_AREA_SIZE}),
                request.begin() + SENSE_AREA_OFFSET);
  }
  switch (manager.completion) {
    case AspiCompletion::BEFORE_RETURN: return status;
    case AspiCompletion::SIGNALLED:
      request[STATUS_OFFSET] = status;
      EventSignal(completion);
      return SS_PENDING;
    case AspiCompletion::NEVER: return SS_PENDING;
  }
  return status;
}

uint8_t Dispatch(std::span<uint8_t> request, std::span<uint8_t> data, EventHandle completion) {
  if (request.empty()) return SS_INVALID_SRB;
  switch (request[0]) {
    case SC_HA_INQUIRY:
      if (request.size() < HA_INQUIRY_SIZE) return SS_INVALID_SRB;
      return request[ADAPTER_OFFSET] < manager.adapter_count ? SS_COMP : SS_INVALID_HA;
    case SC_GET_DEV_TYPE:
      if (request.size() < GET_DEV_TYPE_SIZE) return SS_INVALID_SRB;
      if (DeviceAt(request[ADAPTER_OFFSET], request[TARGET_OFFSET], request[LUN_OFFSET]) ==
          nullptr) {
        return SS_NO_DEVICE;
      }
      request[DEVICE_TYPE_OFFSET] = DEVICE_TYPE_DISK;
      return SS_COMP;
    case SC_EXEC_SCSI_CMD:
      if (request.size() < EXEC_SIZE) return SS_INVALID_SRB;
      return Execute(request, data, completion);
    default: return SS_INVALID_CMD;
  }
}

}  // namespace

void AspiManagerReset() { manager = Manager{}; }

void AspiManagerInstall(const AspiManagerSetup& setup) {
  manager.setup = setup;
  manager.installed = true;
}

uint8_t AspiManagerAddAdapter() { return manager.adapter_count++; }

void AspiManagerAttach(uint8_t adapter, uint8_t target, uint8_t lun, ScsiDevice& device) {
  manager.devices[{adapter, target, lun}] = &device;
}

void AspiManagerSetCompletion(AspiCompletion completion) { manager.completion = completion; }

bool AspiManagerLoaded() { return manager.loaded; }
int32_t AspiManagerLoadCount() { return manager.load_count; }
int32_t AspiManagerExecuteCount() { return manager.execute_count; }

}  // namespace sim

AspiModuleHandle AspiModuleLoad() {
  using sim::manager;
  const auto& setup = manager.setup;
  if (!manager.installed || !setup.library_present || !setup.send_entry_present ||
      !setup.support_info_entry_present) {
    return nullptr;
  }
  manager.loaded = true;
  ++manager.load_count;
  return &manager.module;
}

void AspiModuleUnload(AspiModuleHandle module) {
  if (module == &sim::manager.module) sim::manager.loaded = false;
}

uint32_t AspiModuleSupportInfo(AspiModuleHandle /*module*/) {
  return (uint32_t{sim::manager.setup.support_status} << 8) | sim::manager.adapter_count;
}

uint32_t AspiModuleSend(AspiModuleHandle /*module*/, std::span<uint8_t> request,
                        std::span<uint8_t> data, EventHandle completion) {
  if (request.size() > sim::STATUS_OFFSET) request[sim::STATUS_OFFSET] = sim::SS_PENDING;
  const uint8_t status = sim::Dispatch(request, data, completion);
  // A command signalled as done has its status set already.
  if (status != sim::SS_PENDING && request.size() > sim::STATUS_OFFSET) {
    request[sim::STATUS_OFFSET] = status;
  }
  return status;
}

}  // namespace pelox
