#include "link/acknowledged_send.h"

#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"
#include "platform/clock.h"
#include "transport/port/port.h"

namespace pelox {

int32_t SendUntilAcked(std::span<const uint8_t> packet, const AckPolicy& policy, CameraLink* link) {
  int32_t last_answer = CONTROL_NOTHING;
  uint32_t sent_at = 0;
  for (int32_t attempt = 0; attempt < EXCHANGE_TRIES; ++attempt) {
    if (WaitDeadlinePassed(link)) return LINK_ERROR_NO_ANSWER;
    if (attempt > 0) {
      LinkEvent again = TryEvent(LinkEventKind::FRAME_SENT_AGAIN, attempt + 1, EXCHANGE_TRIES,
                                 ClockTickCount() - sent_at);
      again.frame = policy.frame;
      again.nak = last_answer == CONTROL_NAK;
      LinkReportEvent(again, link);
    }
    if (policy.gone_check_each_try && CameraGoneCheck(link)) return LINK_ERROR_CAMERA_GONE;
    sent_at = ClockTickCount();
    const int32_t sent = SendPacket(packet, link);
    if (sent == SEND_NO_TIME) return LINK_ERROR_NO_ANSWER;
    if (sent == PORT_TRANSFER_FAILED) return LINK_ERROR_TRANSPORT;
    if (sent != PORT_OK) {
      LinkNoteError(LINK_ERROR_SEND, link);
      last_answer = CONTROL_NOTHING;
      continue;
    }
    last_answer = ReadControlByte(policy.ack_attempts, link);
    if (last_answer == CONTROL_ACK) return LINK_OK;
    if (last_answer == PORT_TRANSFER_FAILED) return LINK_ERROR_TRANSPORT;
    if (last_answer == CONTROL_GONE) {
      link->state = LINK_STATE_CAMERA_GONE;
      return LINK_ERROR_CAMERA_GONE;
    }
  }
  return LINK_ERROR_SEND;
}

}  // namespace pelox
