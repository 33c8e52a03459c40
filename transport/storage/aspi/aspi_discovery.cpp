#include "transport/storage/aspi/aspi_discovery.h"

#include <array>
#include <bit>

#include "transport/discovery/camera_vendor.h"
#include "transport/discovery/device_table_internal.h"
#include "transport/storage/aspi/aspi_library.h"
#include "transport/storage/aspi/aspi_request.h"
#include "transport/storage/aspi/aspi_status.h"

namespace pelox {
namespace {

constexpr std::array<uint8_t, 6> INQUIRY_CDB{0x12, 0x00, 0x00, 0x00, INQUIRY_DATA_SIZE, 0x00};
constexpr uint8_t INQUIRY_CDB_LENGTH = INQUIRY_CDB.size();
constexpr uint8_t SCANNED_LUN = 0;

template <typename Request>
uint8_t Send(Request& request) {
  auto bytes = std::bit_cast<std::array<uint8_t, sizeof(Request)>>(request);
  const auto status = static_cast<uint8_t>(AspiLibrarySend(bytes, {}, nullptr));
  request = std::bit_cast<Request>(bytes);
  return status;
}

bool AdapterAnswers(uint8_t adapter) {
  SRB_HAInquiry inquiry{};
  inquiry.SRB_Cmd = SC_HA_INQUIRY;
  inquiry.SRB_HaId = adapter;
  return Send(inquiry) == SS_COMP;
}

}  // namespace

int32_t AspiInquiry(uint8_t adapter, uint8_t target, uint8_t lun, uint16_t& vendor_code,
                    PortState* link) {
  SRB_ExecSCSICmd request = AspiLoadRequest(link);
  request.SRB_Cmd = SC_EXEC_SCSI_CMD;
  request.SRB_HaId = adapter;
  request.SRB_Target = target;
  request.SRB_Lun = lun;
  request.SRB_SenseLen = SENSE_LEN;
  request.SRB_CDBLen = INQUIRY_CDB_LENGTH;
  std::copy(INQUIRY_CDB.begin(), INQUIRY_CDB.end(), request.CDBByte.begin());
  AspiStoreRequest(request, link);
  std::array<uint8_t, INQUIRY_DATA_SIZE> data{};
  if (AspiScsiIn(link, data) != SS_COMP) return VENDOR_NOT_A_CAMERA;
  return CameraVendorLookup(
      std::span<const uint8_t>(data).subspan<INQUIRY_VENDOR_OFFSET, INQUIRY_VENDOR_SIZE>(),
      vendor_code);
}

int32_t AspiScanAdapter(uint8_t adapter, PortState* link) {
  SRB_GetDevType device_type{};
  device_type.SRB_Cmd = SC_GET_DEV_TYPE;
  device_type.SRB_HaId = adapter;
  link->wait_seconds = ASPI_SCAN_WAIT_SECONDS;
  int32_t found = 0;
  for (uint8_t target = 0; target < ASPI_TARGETS_PER_ADAPTER; ++target) {
    device_type.SRB_Target = target;
    device_type.SRB_Lun = SCANNED_LUN;
    if (Send(device_type) != SS_COMP) continue;
    CameraDevice camera;
    if (AspiInquiry(adapter, target, SCANNED_LUN, camera.vendor_code, link) != VENDOR_FOUND) {
      continue;
    }
    camera.adapter = adapter;
    camera.target = target;
    camera.lun = SCANNED_LUN;
    // A full table ignores further cameras.
    if (DeviceTableAdd(camera)) ++found;
  }
  return found;
}

int32_t AspiDiscover(PortState* link) {
  DeviceTableClear();
  if (link->exec_srb == nullptr || link->completion_event == nullptr) return -1;
  const uint32_t support = AspiLibrarySupportInfo();
  if (((support >> 8) & 0xFF) != SS_COMP) {
    DiscoverySetSystemError(DISCOVERY_ERROR_NOT_READY);
    return -1;
  }
  const auto adapters = static_cast<uint8_t>(support & 0xFF);
  for (uint8_t adapter = 0; adapter < adapters; ++adapter) {
    if (AdapterAnswers(adapter)) AspiScanAdapter(adapter, link);
  }
  if (DeviceCount() == 0) {
    DiscoverySetSystemError(DISCOVERY_ERROR_NOT_READY);
    return -1;
  }
  const int32_t claimed = DeviceClaimFirstFree(ClaimBy::TABLE_INDEX, link);
  if (claimed < 0) return -1;
  link->device_index = claimed;
  return 0;
}

}  // namespace pelox
