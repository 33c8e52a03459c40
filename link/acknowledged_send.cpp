#include "link/acknowledged_send.h"

#include "link/exchanges.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "transport/port/port.h"

namespace pelox {

int32_t SendUntilAcked(std::span<const uint8_t> packet, const AckPolicy& policy, CameraLink* link) {
  for (int32_t attempt = 0; attempt < EXCHANGE_TRIES; ++attempt) {
    if (WaitDeadlinePassed(link)) return LINK_ERROR_NO_ANSWER;
    if (policy.gone_check_each_try && CameraGoneCheck(link)) return LINK_ERROR_CAMERA_GONE;
    const int32_t sent = SendPacket(packet, link);
    if (sent == SEND_NO_TIME) return LINK_ERROR_NO_ANSWER;
    if (sent == PORT_TRANSFER_FAILED) return LINK_ERROR_TRANSPORT;
    if (sent != PORT_OK) {
      LinkNoteError(LINK_ERROR_SEND, link);
      continue;
    }
    const int32_t answer = ReadControlByte(policy.ack_attempts, link);
    if (answer == CONTROL_ACK) return LINK_OK;
    if (answer == PORT_TRANSFER_FAILED) return LINK_ERROR_TRANSPORT;
    if (answer == CONTROL_GONE) {
      link->state = LINK_STATE_CAMERA_GONE;
      return LINK_ERROR_CAMERA_GONE;
    }
  }
  return LINK_ERROR_SEND;
}

}  // namespace pelox
