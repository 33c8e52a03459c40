#include "sim/storage/pass_through_drives.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "platform/spti.h"
#include "sim/storage/drive_device.h"

namespace pelox {

namespace sim {
namespace {

constexpr size_t LENGTH_OFFSET = 0;
constexpr size_t SCSI_STATUS_OFFSET = 2;
constexpr size_t CDB_LENGTH_OFFSET = 6;
constexpr size_t MAX_CDB_LENGTH = 16;
constexpr uint32_t MS_PER_SECOND = 1000;
constexpr size_t SENSE_LENGTH_OFFSET = 7;

struct Drives {
  std::vector<SimDrive> drives;
  std::vector<std::string> opened_names;
  int32_t open_handles = 0;
  uint32_t error_mode = 0;
  std::vector<uint32_t> timeouts;
};

Drives state;

uint32_t Load32(std::span<const uint8_t> request, size_t offset) {
  uint32_t value = 0;
  std::memcpy(&value, request.data() + offset, sizeof value);
  return value;
}

const SimDrive* FindDrive(char letter) {
  auto found = std::find_if(state.drives.begin(), state.drives.end(),
                            [letter](const SimDrive& drive) { return drive.letter == letter; });
  return found != state.drives.end() ? &*found : nullptr;
}

}  // namespace

void PassThroughDrivesReset() { state = Drives{}; }
void PassThroughDriveAdd(const SimDrive& drive) { state.drives.push_back(drive); }
const std::vector<std::string>& PassThroughOpenedNames() { return state.opened_names; }
int32_t PassThroughOpenHandles() { return state.open_handles; }
uint32_t PassThroughErrorMode() { return state.error_mode; }
const std::vector<uint32_t>& PassThroughTimeouts() { return state.timeouts; }

}  // namespace sim

uint32_t DriveLogicalStrings(std::span<char> buffer) {
  std::string roots;
  for (const sim::SimDrive& drive : sim::state.drives) {
    roots += drive.letter;
    roots += ":\\";
    roots += '\0';
  }
  if (roots.size() + 1 > buffer.size()) return static_cast<uint32_t>(roots.size() + 1);
  std::copy(roots.begin(), roots.end(), buffer.begin());
  buffer[roots.size()] = '\0';
  return static_cast<uint32_t>(roots.size());
}

uint32_t DriveType(const char* root) {
  const sim::SimDrive* drive = sim::FindDrive(root[0]);
  return drive != nullptr ? drive->type : 1;  // 1: no such root
}

uint32_t DriveSetErrorMode(uint32_t mode) { return std::exchange(sim::state.error_mode, mode); }

DriveHandle DriveOpen(const char* device_name) {
  const std::string name(device_name);
  sim::state.opened_names.push_back(name);
  // Only "\\.\X:" names a drive device.
  if (name.size() != 6 || name.compare(0, 4, "\\\\.\\") != 0 || name[5] != ':') return nullptr;
  const sim::SimDrive* drive = sim::FindDrive(name[4]);
  if (drive == nullptr || drive->device == nullptr) return nullptr;
  ++sim::state.open_handles;
  return new (std::nothrow) DriveDevice{drive->device};
}

bool DriveClose(DriveHandle drive) {
  if (drive == nullptr) return false;
  --sim::state.open_handles;
  delete drive;
  return true;
}

int32_t DrivePassThrough(DriveHandle drive, std::span<uint8_t> request, std::span<uint8_t> data) {
  using sim::Load32;
  if (drive == nullptr || request.size() < SPTD_SIZE) return 0;
  if ((request[sim::LENGTH_OFFSET] | (request[sim::LENGTH_OFFSET + 1] << 8)) != SPTD_SIZE) return 0;
  const uint32_t length = Load32(request, SPTD_DATA_TRANSFER_LENGTH_OFFSET);
  const size_t cdb_length = request[sim::CDB_LENGTH_OFFSET];
  if (length > data.size() || cdb_length > sim::MAX_CDB_LENGTH) return 0;
  const uint32_t timeout_seconds = Load32(request, SPTD_TIME_OUT_VALUE_OFFSET);
  sim::state.timeouts.push_back(timeout_seconds);
  sim::DataDirection direction = sim::DataDirection::NONE;
  if (length > 0) {
    direction =
        request[SPTD_DATA_IN_OFFSET] != 0 ? sim::DataDirection::IN : sim::DataDirection::OUT;
  }
  const sim::ScsiOutcome outcome =
      drive->device->Execute({request.subspan(SPTD_CDB_OFFSET, cdb_length), data.first(length),
                              direction, timeout_seconds * sim::MS_PER_SECOND});
  if (outcome == sim::ScsiOutcome::NO_RESPONSE) return 0;
  // The driver completes the call whatever the device answered; a refusal
  // shows only in the status and the sense area.
  if (outcome == sim::ScsiOutcome::GOOD) {
    request[sim::SCSI_STATUS_OFFSET] = 0;
    return 1;
  }
  request[sim::SCSI_STATUS_OFFSET] = sim::SCSI_STATUS_CHECK_CONDITION;
  // As the driver does, the sense length is left at what was returned.
  const std::span<const uint8_t> sense = sim::REFUSAL_SENSE;
  const size_t sense_offset = Load32(request, SPTD_SENSE_INFO_OFFSET_OFFSET);
  const size_t sense_length = std::min<size_t>(request[sim::SENSE_LENGTH_OFFSET], sense.size());
  request[sim::SENSE_LENGTH_OFFSET] = 0;
  if (sense_offset <= request.size() && sense_length <= request.size() - sense_offset) {
    std::copy_n(sense.begin(), sense_length, request.subspan(sense_offset).begin());
    request[sim::SENSE_LENGTH_OFFSET] = static_cast<uint8_t>(sense_length);
  }
  return 1;
}

}  // namespace pelox
