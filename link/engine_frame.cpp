#include "link/engine_frame.h"

#include "link/error_record.h"
#include "link/link_record.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"

namespace pelox {
namespace {

// A camera's silence that a limit cut short is the limit's doing; what the
// camera said stays its own.
int32_t CodeOfTheEnd(int32_t code, const CameraLink* link) {
  const bool silence = code == LINK_ERROR_NO_REPLY || code == LINK_ERROR_NO_ANSWER;
  return silence && !TimeForAReply(link) ? WaitEndCode(link) : code;
}

}  // namespace

int32_t RunTransaction(const TransactionKind& kind, const std::function<int32_t()>& exchange,
                       CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  if (kind.clears_abort) link->abort_requested = 0;
  if (!TimeForAReply(link)) return LinkSetError(WaitEndCode(link), link);
  const int32_t ready = LinkEnsureReady(link);
  if (ready != LINK_OK) return LinkSetError(ready, link);
  // On serial the handshake of each reconnection resets retry_count, so the
  // call also counts its own reconnections: a camera that always goes away
  // must not hold the caller forever.
  for (int32_t reconnections = 0;; ++reconnections) {
    // Checked before entering the transaction state: a restart leaves the
    // link as the reconnection left it, ready for the caller's next step.
    if (kind.abortable && link->abort_requested != 0) return LINK_RESTART;
    if (!TimeForAReply(link)) return LinkSetError(WaitEndCode(link), link);
    link->state = LINK_STATE_IN_TRANSACTION;
    const uint32_t packets_before = link->packets_sent;
    const int32_t code = exchange();
    if (code != LINK_ERROR_CAMERA_GONE) return LinkSetError(CodeOfTheEnd(code, link), link);
    // The camera may have taken the command before it went: the caller
    // learns what became of it from the camera, not by sending it again.
    if (kind.once && link->packets_sent != packets_before) return LinkSetError(code, link);
    ++link->retry_count;
    LinkReportEvent(TryEvent(LinkEventKind::RECONNECTING, reconnections + 1, RECONNECT_BUDGET),
                    link);
    const int32_t reconnected = LinkReconnect(link);
    if (reconnected != LINK_OK) return LinkSetError(reconnected, link);
    if (link->retry_count >= RECONNECT_BUDGET || reconnections + 1 >= RECONNECT_BUDGET) {
      return LinkSetError(LINK_ERROR_CAMERA_GONE, link);
    }
  }
}

}  // namespace pelox
