#include "transport/storage/spti/spti_discovery.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/spti.h"
#include "transport/discovery/camera_vendor.h"
#include "transport/discovery/device_table_internal.h"
#include "transport/storage/spti/spti_request.h"

namespace pelox {
namespace {

constexpr uint8_t INQUIRY_OPCODE = 0x12;
constexpr size_t INQUIRY_LENGTH_OFFSET = 4;
constexpr uint8_t INQUIRY_CDB_LENGTH = 12;
constexpr size_t ROOT_LENGTH = 3;

bool IsFloppyRoot(std::string_view root) { return root[0] == 'A' || root[0] == 'a'; }

// A drive worth asking: removable, not A:, a root of the form "X:\".
bool IsCandidate(std::string_view root) {
  return root.size() == ROOT_LENGTH && !IsFloppyRoot(root) &&
         DriveType(std::string(root).c_str()) == DRIVE_TYPE_REMOVABLE;
}

int32_t Inquire(DriveHandle drive, uint16_t& vendor_code, PortState* link) {
  SCSI_PASS_THROUGH_DIRECT request = SptiLoadRequest(link);
  // The whole CDB is written: bytes left from the link's last phase would
  // otherwise travel with the INQUIRY.
  request.Cdb.fill(0);
  request.Cdb[0] = INQUIRY_OPCODE;
  request.Cdb[INQUIRY_LENGTH_OFFSET] = INQUIRY_DATA_SIZE;
  request.CdbLength = INQUIRY_CDB_LENGTH;
  SptiStoreRequest(request, link);
  std::array<uint8_t, INQUIRY_DATA_SIZE> data{};
  if (SptiRun(drive, SCSI_IOCTL_DATA_IN, data, link) == 0) return VENDOR_NOT_A_CAMERA;
  return CameraVendorLookup(
      std::span<const uint8_t>(data).subspan<INQUIRY_VENDOR_OFFSET, INQUIRY_VENDOR_SIZE>(),
      vendor_code);
}

void ProbeDrive(std::string_view root, PortState* link) {
  CameraDevice camera;
  std::copy(root.begin(), root.end(), camera.root.begin());
  DriveHandle drive = DriveOpen(SptiDeviceName(camera.root).c_str());
  if (drive == nullptr) return;
  if (Inquire(drive, camera.vendor_code, link) == VENDOR_FOUND) DeviceTableAdd(camera);
  DriveClose(drive);
}

}  // namespace

std::string SptiDeviceName(std::span<const char, 4> root) {
  return std::string("\\\\.\\") + root[0] + ':';
}

int32_t SptiDiscover(PortState* link) {
  DeviceTableClear();
  if (link->pass_through == nullptr) return -1;
  DriveSetErrorMode(ERROR_MODE_FAIL_CRITICAL);
  std::array<char, SPTI_DRIVE_STRINGS_SIZE> roots{};
  const uint32_t length = DriveLogicalStrings(roots);
  if (length < roots.size()) {
    std::string_view rest(roots.data(), length);
    while (!rest.empty()) {
      const std::string_view root = rest.substr(0, rest.find('\0'));
      if (root.empty()) break;  // the empty text ends the list
      if (IsCandidate(root)) ProbeDrive(root, link);
      rest.remove_prefix(std::min(rest.size(), root.size() + 1));
    }
  }
  std::ranges::fill(SptiCdb(link), uint8_t{0});
  if (DeviceCount() == 0) {
    DiscoverySetSystemError(DISCOVERY_ERROR_NOT_READY);
    return -1;
  }
  return 0;
}

}  // namespace pelox
