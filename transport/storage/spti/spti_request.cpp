#include "transport/storage/spti/spti_request.h"

#include <algorithm>

#include "transport/storage/pipe_phases.h"

namespace pelox {
namespace {

constexpr uint8_t SCSI_STATUS_GOOD = 0;

// The driver completes the call also when the device answers CHECK
// CONDITION: only ScsiStatus tells that the command was refused.
int32_t Phase(uint8_t data_in, std::span<uint8_t> buffer, PortState* link) {
  if (SptiRun(link->device_handle, data_in, buffer, link) == 0) return PIPE_COMPLETION_FAILED;
  const SCSI_PASS_THROUGH_DIRECT request = SptiLoadRequest(link);
  if (request.ScsiStatus == SCSI_STATUS_GOOD) return PIPE_COMPLETION_DONE;
  // The driver leaves in SenseInfoLength the sense bytes it returned.
  const std::span<const uint8_t> sense(link->pass_through->data() + SPTI_SENSE_OFFSET,
                                       std::min(request.SenseInfoLength, SPTI_SENSE_SIZE));
  PipeKeepRefusal(request.ScsiStatus, sense, link);
  return PIPE_COMPLETION_SCSI_ERROR;
}

}  // namespace

int32_t SptiRun(DriveHandle drive, uint8_t data_in, std::span<uint8_t> buffer, PortState* link) {
  SCSI_PASS_THROUGH_DIRECT request = SptiLoadRequest(link);
  request.DataIn = data_in;
  request.DataTransferLength = static_cast<uint32_t>(buffer.size());
  request.SenseInfoLength = SPTI_SENSE_SIZE;
  // A driver that leaves the status or the sense alone must not repeat the
  // last refusal.
  request.ScsiStatus = SCSI_STATUS_GOOD;
  SptiStoreRequest(request, link);
  const auto sense = link->pass_through->begin() + SPTI_SENSE_OFFSET;
  std::fill(sense, sense + SPTI_SENSE_SIZE, uint8_t{0});
  return DrivePassThrough(drive, *link->pass_through, buffer);
}

int32_t SptiScsiIn(PortState* link, std::span<uint8_t> buffer) {
  return Phase(SCSI_IOCTL_DATA_IN, buffer, link);
}

int32_t SptiScsiOut(PortState* link, std::span<const uint8_t> buffer) {
  // The request has one buffer pointer for both directions; the driver only
  // reads from a data-out buffer.
  return Phase(SCSI_IOCTL_DATA_OUT, {const_cast<uint8_t*>(buffer.data()), buffer.size()}, link);
}

}  // namespace pelox
