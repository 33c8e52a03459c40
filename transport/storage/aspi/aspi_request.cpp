#include "transport/storage/aspi/aspi_request.h"

#include <algorithm>

#include "platform/event.h"
#include "transport/storage/aspi/aspi_library.h"
#include "transport/storage/aspi/aspi_status.h"

namespace pelox {
namespace {

constexpr uint32_t MS_PER_SECOND = 1000;

int32_t Run(uint8_t direction, std::span<uint8_t> buffer, PortState* link) {
  SRB_ExecSCSICmd request = AspiLoadRequest(link);
  request.SRB_Flags = direction | SRB_EVENT_NOTIFY;
  request.SRB_BufLen = static_cast<uint32_t>(buffer.size());
  request.SRB_Status = SS_PENDING;
  AspiStoreRequest(request, link);
  AspiLibrarySend(*link->exec_srb, buffer, link->completion_event);
  const uint8_t status = AspiLoadRequest(link).SRB_Status;
  // A command that completed before the call returned is not waited for.
  if (status != SS_PENDING) return status;
  const auto wait_ms = static_cast<uint32_t>(std::max(link->wait_seconds, 0)) * MS_PER_SECOND;
  return EventWait(link->completion_event, wait_ms) ? SS_COMP : SS_ABORTED;
}

}  // namespace

int32_t AspiScsiIn(PortState* link, std::span<uint8_t> buffer) {
  return Run(SRB_DIR_IN, buffer, link);
}

int32_t AspiScsiOut(PortState* link, std::span<const uint8_t> buffer) {
  // The library takes one buffer pointer for both directions; it only reads
  // from a data-out buffer.
  return Run(SRB_DIR_OUT, {const_cast<uint8_t*>(buffer.data()), buffer.size()}, link);
}

}  // namespace pelox
