#include "transport/storage/spti/spti_transport.h"

#include <algorithm>

#include "transport/discovery/device_table.h"
#include "transport/port/port.h"
#include "transport/storage/pipe_phases.h"
#include "transport/storage/spti/spti_discovery.h"
#include "transport/storage/spti/spti_request.h"

namespace pelox {
namespace {

constexpr uint8_t CAMERA_TARGET_ID = 1;

void SetTimeout(CameraLink* link, int32_t seconds) {
  SCSI_PASS_THROUGH_DIRECT request = SptiLoadRequest(link);
  request.TimeOutValue = static_cast<uint32_t>(std::max(seconds, 0));
  SptiStoreRequest(request, link);
}

// The driver's result: 0 is a failed transfer, anything else goes on.
int32_t PhaseResult(int32_t result) { return result == 0 ? PORT_TRANSFER_FAILED : PIPE_GO_ON; }

constexpr PipeVariant SPTI_PIPE{SptiCdb, SptiScsiIn, SptiScsiOut, PhaseResult, SetTimeout, false};

void PrepareRequest(CameraLink* link) {
  SCSI_PASS_THROUGH_DIRECT request = SptiLoadRequest(link);
  request.Length = SPTD_SIZE;
  request.PathId = 0;
  request.TargetId = CAMERA_TARGET_ID;
  request.Lun = 0;
  request.SenseInfoLength = SPTI_SENSE_SIZE;
  request.TimeOutValue = static_cast<uint32_t>(SPTI_OPEN_TIMEOUT_SECONDS);
  request.SenseInfoOffset = SPTI_SENSE_OFFSET;
  SptiStoreRequest(request, link);
}

void CloseDevice(CameraLink* link) {
  if (link->device_handle == nullptr) return;
  DriveClose(link->device_handle);
  link->device_handle = nullptr;
}

int32_t Open(int32_t type, CameraLink* link) {
  if (link->pass_through == nullptr) return PORT_FAILED;
  // A link that opens again gives back what it held.
  CloseDevice(link);
  DeviceReleaseClaims(link);
  PrepareRequest(link);
  if (SptiDiscover(link) != 0) return PORT_FAILED;
  SCSI_PASS_THROUGH_DIRECT request = SptiLoadRequest(link);
  request.CdbLength = PIPE_CDB_SIZE;
  SptiStoreRequest(request, link);

  const int32_t claimed = DeviceClaimFirstFree(ClaimBy::DRIVE_LETTER, link);
  if (claimed < 0) return PORT_FAILED;
  link->device_index = claimed;
  const CameraDevice& camera = *DeviceTableEntry(claimed);
  DriveHandle drive = DriveOpen(SptiDeviceName(camera.root).c_str());
  if (drive == nullptr || !PipeAdoptCamera(SPTI_PIPE, camera.vendor_code, link)) {
    if (drive != nullptr) DriveClose(drive);
    DeviceReleaseClaims(link);
    return PORT_FAILED;
  }
  link->device_handle = drive;
  return type;
}

int32_t Close(CameraLink* link) {
  if (link->device_handle != nullptr) {
    PipeSendClose(SPTI_PIPE, link);
    CloseDevice(link);
  }
  DeviceReleaseClaims(link);
  return 1;
}

int32_t Write(CameraLink* link, std::span<const uint8_t> data) {
  if (link->pass_through == nullptr || link->device_handle == nullptr) {
    return PORT_TRANSFER_FAILED;
  }
  SetTimeout(link, SPTI_WRITE_TIMEOUT_SECONDS);
  return PipeWrite(SPTI_PIPE, data, link);
}

int32_t Read(CameraLink* link, std::span<uint8_t> buffer, int32_t timeout) {
  if (link->pass_through == nullptr || link->device_handle == nullptr) {
    return PORT_TRANSFER_FAILED;
  }
  SetTimeout(link, timeout);
  return PipeRead(SPTI_PIPE, buffer, timeout, link);
}

constexpr StorageOps SPTI_OPERATIONS{Open, SptiDiscover, Close, Read, Write, SptiScsiIn,
                                     SptiScsiOut};

}  // namespace

const StorageOps& SptiOperations() { return SPTI_OPERATIONS; }

}  // namespace pelox
