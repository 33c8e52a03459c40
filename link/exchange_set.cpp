#include <array>

#include "link/byte_order.h"
#include "link/exchanges.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

constexpr int32_t SET_ACK_ATTEMPTS = 6;

// What one try of the set exchange records for the camera's answer.
int32_t SetVerdict(int32_t answer, CameraLink* link) {
  switch (answer) {
    case CONTROL_ACK: return LINK_OK;
    case PORT_TRANSFER_FAILED: return LINK_ERROR_TRANSPORT;
    case CONTROL_NAK: return LINK_ERROR_NAK;
    case CONTROL_ERROR: return LINK_ERROR_CAMERA_ERROR;
    case CONTROL_NOTHING: return LINK_ERROR_NO_ANSWER;
    case CONTROL_GONE: link->state = LINK_STATE_CAMERA_GONE; return LINK_ERROR_CAMERA_GONE;
    default: return LINK_ERROR_UNEXPECTED;
  }
}

}  // namespace

int32_t ExchangeSet(uint32_t value, uint8_t property_id, uint8_t command, CameraLink* link) {
  link->tx_seq = 0;
  std::array<uint8_t, 6> payload{REQUEST_SET, property_id};
  StoreLe32(std::span(payload).subspan<2, 4>(), value);
  std::array<uint8_t, payload.size() + PACKET_OVERHEAD> packet{};
  BuildPacket(payload, packet, command, 0, true, link->tx_seq);
  PreSendPause(link);
  if (CameraGoneCheck(link)) return LINK_ERROR_CAMERA_GONE;
  int32_t recorded = LINK_ERROR_SEND;
  for (int32_t attempt = 0; attempt < EXCHANGE_TRIES; ++attempt) {
    const int32_t sent = SendPacket(packet, link);
    if (sent == PORT_TRANSFER_FAILED) return LINK_ERROR_TRANSPORT;
    if (sent != PORT_OK) {
      recorded = LINK_ERROR_SEND;
      continue;
    }
    recorded = SetVerdict(ReadControlByte(SET_ACK_ATTEMPTS, link), link);
    if (recorded == LINK_OK || recorded == LINK_ERROR_TRANSPORT ||
        recorded == LINK_ERROR_CAMERA_GONE) {
      return recorded;
    }
  }
  return recorded;
}

}  // namespace pelox
