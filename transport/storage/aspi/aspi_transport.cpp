#include "transport/storage/aspi/aspi_transport.h"

#include "transport/discovery/device_table_internal.h"
#include "transport/port/port.h"
#include "transport/storage/aspi/aspi_discovery.h"
#include "transport/storage/aspi/aspi_request.h"
#include "transport/storage/aspi/aspi_status.h"
#include "transport/storage/pipe_phases.h"

namespace pelox {
namespace {

void SetWaitSeconds(PortState* link, int32_t seconds) { link->wait_seconds = seconds; }

// ASPI statuses 2 (aborted or timed out) and 4 (SCSI error) coincide with
// the shared completion codes.
static_assert(SS_ABORTED == PIPE_COMPLETION_FAILED && SS_ERR == PIPE_COMPLETION_SCSI_ERROR);

constexpr PipeVariant ASPI_PIPE{
    .cdb = AspiCdb,
    .scsi_in = AspiScsiIn,
    .scsi_out = AspiScsiOut,
    .phase_result = PipeResultOfCompletion,
    .set_timeout = SetWaitSeconds,
    .read_status_counts = true,
};

// Points the request at the claimed camera; false when the table no longer
// holds it.
bool AddressClaimedCamera(PortState* link) {
  const CameraDevice* camera = DeviceTableEntry(link->device_index);
  if (camera == nullptr) return false;
  SRB_ExecSCSICmd request = AspiLoadRequest(link);
  request.SRB_Cmd = SC_EXEC_SCSI_CMD;
  request.SRB_HaId = camera->adapter;
  request.SRB_Target = camera->target;
  request.SRB_Lun = camera->lun;
  request.SRB_CDBLen = PIPE_CDB_SIZE;
  request.SRB_SenseLen = SENSE_LEN;
  AspiStoreRequest(request, link);
  return true;
}

int32_t Open(int32_t type, PortState* link) {
  // A link that opens again gives back what it held.
  DeviceReleaseClaims(link);
  if (AspiDiscover(link) != 0) return PORT_FAILED;
  const CameraDevice* camera = DeviceTableEntry(link->device_index);
  SRB_ExecSCSICmd request = AspiLoadRequest(link);
  request.SRB_CDBLen = PIPE_CDB_SIZE;
  request.SRB_SenseLen = SENSE_LEN;
  AspiStoreRequest(request, link);
  if (!PipeAdoptCamera(ASPI_PIPE, camera->vendor_code, link)) {
    DeviceReleaseClaims(link);
    return PORT_FAILED;
  }
  return type;
}

int32_t Close(PortState* link) {
  if (link->exec_srb != nullptr && DeviceHoldsClaim(link) && AddressClaimedCamera(link)) {
    PipeSendClose(ASPI_PIPE, link);
  }
  DeviceReleaseClaims(link);
  return 1;
}

int32_t Write(PortState* link, std::span<const uint8_t> data) {
  if (link->exec_srb == nullptr || !AddressClaimedCamera(link)) return PORT_TRANSFER_FAILED;
  link->wait_seconds = ASPI_WRITE_WAIT_SECONDS;
  return PipeWrite(ASPI_PIPE, data, link);
}

int32_t Read(PortState* link, std::span<uint8_t> buffer, int32_t timeout) {
  // The command phase waits what the previous operation left in wait_seconds.
  if (link->exec_srb == nullptr || !AddressClaimedCamera(link)) return PORT_TRANSFER_FAILED;
  return PipeRead(ASPI_PIPE, buffer, timeout, link);
}

constexpr StorageOps ASPI_OPERATIONS{
    .Open = Open,
    .Discover = AspiDiscover,
    .Close = Close,
    .Read = Read,
    .Write = Write,
    .ScsiIn = AspiScsiIn,
    .ScsiOut = AspiScsiOut,
};

}  // namespace

const StorageOps& AspiOperations() { return ASPI_OPERATIONS; }

}  // namespace pelox
