#include "transport/storage/sg/sg_discovery.h"

#include <array>

#include "platform/sg.h"
#include "transport/discovery/camera_vendor.h"
#include "transport/discovery/device_table_internal.h"

namespace pelox {
namespace {

constexpr std::array<uint8_t, 6> INQUIRY_CDB{0x12, 0x00, 0x00, 0x00, INQUIRY_DATA_SIZE, 0x00};

void ProbeDevice(const std::string& path) {
  int32_t outcome = SG_OPEN_FAILED;
  DriveHandle device = SgOpen(path, outcome);
  if (device == nullptr) {
    if (outcome == SG_OPEN_DENIED) DiscoveryNoteDenied(path);
    return;
  }
  std::array<uint8_t, INQUIRY_DATA_SIZE> data{};
  CameraDevice camera;
  SgAnswer answer;
  if (SgExecute(device, INQUIRY_CDB, data, SgDirection::FROM_DEVICE, SG_INQUIRY_TIMEOUT_MS,
                answer) == SG_DONE &&
      CameraVendorLookup(
          std::span<const uint8_t>(data).subspan<INQUIRY_VENDOR_OFFSET, INQUIRY_VENDOR_SIZE>(),
          camera.vendor_code) == VENDOR_FOUND) {
    camera.path = path;
    DeviceTableAdd(camera);
  }
  SgClose(device);
}

}  // namespace

int32_t SgDiscover(PortState* /*link*/) {
  DeviceTableClear();
  for (const std::string& path : SgCandidateDevices()) ProbeDevice(path);
  if (DeviceCount() == 0) {
    DiscoverySetSystemError(DISCOVERY_ERROR_NOT_READY);
    return -1;
  }
  return 0;
}

}  // namespace pelox
