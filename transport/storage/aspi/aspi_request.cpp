#include "transport/storage/aspi/aspi_request.h"

#include <algorithm>

#include "platform/event.h"
#include "transport/storage/aspi/aspi_library.h"
#include "transport/storage/aspi/aspi_status.h"
#include "transport/storage/pipe_phases.h"

namespace pelox {
namespace {

constexpr uint32_t MS_PER_SECOND = 1000;
constexpr uint8_t TARGET_STATUS_CHECK_CONDITION = 0x02;

// The library fills the sense area only when the target answered CHECK
// CONDITION, and at most the length the request gave it.
void KeepRefusal(const SRB_ExecSCSICmd& request, PortState* link) {
  const size_t returned = request.SRB_TargStat == TARGET_STATUS_CHECK_CONDITION
                              ? std::min<size_t>(request.SRB_SenseLen, request.SenseArea.size())
                              : 0;
  PipeKeepRefusal(request.SRB_TargStat, std::span(request.SenseArea).first(returned), link);
}

int32_t Run(uint8_t direction, std::span<uint8_t> buffer, PortState* link) {
  SRB_ExecSCSICmd request = AspiLoadRequest(link);
  request.SRB_Flags = direction | SRB_EVENT_NOTIFY;
  request.SRB_BufLen = static_cast<uint32_t>(buffer.size());
  request.SRB_Status = SS_PENDING;
  request.SRB_TargStat = 0;
  request.SenseArea.fill(0);
  AspiStoreRequest(request, link);
  AspiLibrarySend(*link->exec_srb, buffer, link->completion_event);
  // A command that completed before the call returned is not waited for.
  if (AspiLoadRequest(link).SRB_Status == SS_PENDING) {
    const auto wait_ms = static_cast<uint32_t>(std::max(link->wait_seconds, 0)) * MS_PER_SECOND;
    if (!EventWait(link->completion_event, wait_ms)) return SS_ABORTED;
  }
  // The library sets the status before it signals: a command the device
  // refused later is as refused as one refused at once.
  const SRB_ExecSCSICmd answered = AspiLoadRequest(link);
  if (answered.SRB_Status == SS_ERR) KeepRefusal(answered, link);
  return answered.SRB_Status == SS_PENDING ? SS_COMP : answered.SRB_Status;
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
