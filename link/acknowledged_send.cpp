#include "link/acknowledged_send.h"

#include "link/error_record.h"
#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"
#include "platform/clock.h"
#include "transport/port/port.h"

namespace pelox {

int32_t ControlAnswerCode(int32_t answer, CameraLink* link) {
  switch (answer) {
    case CONTROL_ACK: return LINK_OK;
    case PORT_TRANSFER_FAILED: return LINK_ERROR_TRANSPORT;
    case CONTROL_NAK: return LINK_ERROR_NAK;
    case CONTROL_ERROR: return LINK_ERROR_CAMERA_ERROR;
    case CONTROL_NOTHING: return WaitEndCode(link);
    case CONTROL_GONE: link->state = LINK_STATE_CAMERA_GONE; return LINK_ERROR_CAMERA_GONE;
    default: return LINK_ERROR_UNEXPECTED;
  }
}

int32_t SendUntilAcked(std::span<const uint8_t> packet, const AckPolicy& policy, CameraLink* link) {
  int32_t last_answer = CONTROL_NOTHING;
  uint32_t sent_at = 0;
  for (int32_t attempt = 0; attempt < EXCHANGE_TRIES; ++attempt) {
    if (!TimeForAReply(link)) return WaitEndCode(link);
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
    if (sent == SEND_NO_TIME) return WaitEndCode(link);
    if (sent == PORT_TRANSFER_FAILED) return LINK_ERROR_TRANSPORT;
    if (sent != PORT_OK) {
      LinkNoteError(LINK_ERROR_SEND, link);
      // Part of the packet may have reached the camera all the same.
      if (policy.once) return LINK_ERROR_SEND;
      last_answer = CONTROL_NOTHING;
      continue;
    }
    last_answer = policy.once ? ReadOnceAnswer(link) : ReadControlByte(policy.ack_attempts, link);
    const int32_t code = ControlAnswerCode(last_answer, link);
    if (code == LINK_OK || code == LINK_ERROR_TRANSPORT || code == LINK_ERROR_CAMERA_GONE) {
      return code;
    }
    if (policy.once && code != LINK_ERROR_NAK) return code;
  }
  // Once, only the camera's NAK sends the packet again: it refused every copy.
  return policy.once ? LINK_ERROR_NAK : LINK_ERROR_SEND;
}

}  // namespace pelox
