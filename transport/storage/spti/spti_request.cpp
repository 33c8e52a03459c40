#include "transport/storage/spti/spti_request.h"

namespace pelox {

int32_t SptiRun(DriveHandle drive, uint8_t data_in, std::span<uint8_t> buffer, PortState* link) {
  SCSI_PASS_THROUGH_DIRECT request = SptiLoadRequest(link);
  request.DataIn = data_in;
  request.DataTransferLength = static_cast<uint32_t>(buffer.size());
  request.SenseInfoLength = SPTI_SENSE_SIZE;
  SptiStoreRequest(request, link);
  return DrivePassThrough(drive, *link->pass_through, buffer);
}

int32_t SptiScsiIn(PortState* link, std::span<uint8_t> buffer) {
  return SptiRun(link->device_handle, SCSI_IOCTL_DATA_IN, buffer, link);
}

int32_t SptiScsiOut(PortState* link, std::span<const uint8_t> buffer) {
  // The request has one buffer pointer for both directions; the driver only
  // reads from a data-out buffer.
  return SptiRun(link->device_handle, SCSI_IOCTL_DATA_OUT,
                 {const_cast<uint8_t*>(buffer.data()), buffer.size()}, link);
}

}  // namespace pelox
