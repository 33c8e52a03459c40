#include "transport/storage/sg/sg_request.h"

#include <algorithm>

#include "platform/sg.h"
#include "transport/storage/pipe_phases.h"

namespace pelox {
namespace {

constexpr uint32_t MS_PER_SECOND = 1000;

int32_t Run(SgDirection direction, std::span<uint8_t> buffer, PortState* link) {
  const SgRequest request = SgLoadRequest(link);
  if (buffer.empty()) direction = SgDirection::NONE;
  SgAnswer answer;
  const int32_t result = SgExecute(link->device_handle, request.cdb, buffer, direction,
                                   request.timeout_seconds * MS_PER_SECOND, answer);
  if (result == SG_CHECK_STATUS) {
    const size_t returned = std::min<size_t>(answer.sense_length, answer.sense.size());
    PipeKeepRefusal(answer.scsi_status, std::span(answer.sense).first(returned), link);
  }
  return result;
}

}  // namespace

int32_t SgScsiIn(PortState* link, std::span<uint8_t> buffer) {
  return Run(SgDirection::FROM_DEVICE, buffer, link);
}

int32_t SgScsiOut(PortState* link, std::span<const uint8_t> buffer) {
  // SG_IO takes one buffer pointer for both directions; it only reads from a
  // data-out buffer.
  return Run(SgDirection::TO_DEVICE, {const_cast<uint8_t*>(buffer.data()), buffer.size()}, link);
}

}  // namespace pelox
