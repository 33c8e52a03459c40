#include "transport/storage/spti/spti_transport.h"

#include <algorithm>

#include "platform/spti.h"
#include "transport/port/port.h"
#include "transport/storage/device_pipe.h"
#include "transport/storage/spti/spti_discovery.h"
#include "transport/storage/spti/spti_request.h"

namespace pelox {
namespace {

constexpr uint8_t CAMERA_TARGET_ID = 1;

void SetTimeout(PortState* link, int32_t seconds) {
  SCSI_PASS_THROUGH_DIRECT request = SptiLoadRequest(link);
  request.TimeOutValue = static_cast<uint32_t>(std::max(seconds, 0));
  SptiStoreRequest(request, link);
}

bool PrepareRequest(PortState* link) {
  if (link->pass_through == nullptr) return false;
  SCSI_PASS_THROUGH_DIRECT request = SptiLoadRequest(link);
  request.Length = SPTD_SIZE;
  request.PathId = 0;
  request.TargetId = CAMERA_TARGET_ID;
  request.Lun = 0;
  request.SenseInfoLength = SPTI_SENSE_SIZE;
  request.TimeOutValue = static_cast<uint32_t>(SPTI_OPEN_TIMEOUT_SECONDS);
  request.SenseInfoOffset = SPTI_SENSE_OFFSET;
  SptiStoreRequest(request, link);
  return true;
}

int32_t DiscoverForOpen(PortState* link) {
  if (SptiDiscover(link) != 0) return -1;
  SCSI_PASS_THROUGH_DIRECT request = SptiLoadRequest(link);
  request.CdbLength = PIPE_CDB_SIZE;
  SptiStoreRequest(request, link);
  return 0;
}

DriveHandle OpenDrive(const CameraDevice& camera, int32_t& outcome) {
  DriveHandle drive = DriveOpen(SptiDeviceName(camera.root).c_str());
  outcome = drive != nullptr ? DEVICE_OPENED : DEVICE_FAILED;
  return drive;
}

constexpr DevicePipe SPTI_PIPE{
    .pipe =
        {
            .cdb = SptiCdb,
            .scsi_in = SptiScsiIn,
            .scsi_out = SptiScsiOut,
            .phase_result = PipeResultOfCompletion,
            .set_timeout = SetTimeout,
            .read_status_counts = false,
        },
    .claim_by = ClaimBy::DRIVE_LETTER,
    .prepare = PrepareRequest,
    .discover = DiscoverForOpen,
    .open_device = OpenDrive,
    .close_device = DriveClose,
    .write_timeout_seconds = SPTI_WRITE_TIMEOUT_SECONDS,
};

constexpr StorageOps SPTI_OPERATIONS = DevicePipeOperations<SPTI_PIPE>(SptiDiscover);

}  // namespace

const StorageOps& SptiOperations() { return SPTI_OPERATIONS; }

}  // namespace pelox
