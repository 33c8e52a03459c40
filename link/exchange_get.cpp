#include <array>

#include "link/exchanges.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "transport/byte_order.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

constexpr size_t GET_REPLY_SIZE = 10;
constexpr uint32_t NO_VALUE = 0xFFFFFFFF;

}  // namespace

int32_t ExchangeGet(uint8_t property_id, uint32_t& value, CameraLink* link) {
  value = NO_VALUE;
  link->tx_seq = 0;
  const bool check_sum = RepliesCarryChecksum(link);
  const std::array<uint8_t, 2> payload{REQUEST_GET, property_id};
  std::array<uint8_t, payload.size() + PACKET_OVERHEAD> packet{};
  BuildCommandFrame(payload, packet, COMMAND_CAMERA);
  PreSendPause(link);

  int32_t credits = EXCHANGE_TRIES;
  std::array<uint8_t, GET_REPLY_SIZE> reply{};
  while (credits > 0) {
    if (CameraGoneCheck(link)) return LINK_ERROR_CAMERA_GONE;
    --credits;
    const int32_t sent = SendPacket(packet, link);
    if (sent == PORT_TRANSFER_FAILED) return LINK_ERROR_TRANSPORT;
    if (sent != PORT_OK) {
      LinkNoteError(LINK_ERROR_SEND, link);
      continue;
    }
    for (;;) {
      const int32_t read = PortRead(link, reply, TIMEOUT_PACKET);
      if (read == static_cast<int32_t>(GET_REPLY_SIZE)) {
        link->rx_seq = 0;
        ParsedPacket parsed;
        if (ParsePacket(reply, check_sum, link->rx_seq, parsed) == LINK_OK &&
            parsed.frame_type == FRAME_DATA_LAST) {
          if (SendAck(link) == LINK_ERROR_TRANSPORT) return LINK_ERROR_TRANSPORT;
          value = LoadLe32(parsed.payload.first<4>());
          return LINK_OK;
        }
        if (IsStoragePipe(link)) return LINK_ERROR_TRANSPORT;
        // A control byte in place of the reply: the camera wants the request again.
        if (reply[0] == CONTROL_ERROR || reply[0] == CONTROL_NAK) break;
        LinkNoteError(LINK_ERROR_NO_REPLY, link);
        if (credits == 0) {
          const int32_t cancelled = SendControl(CONTROL_CAN, link);
          return cancelled == LINK_ERROR_CAMERA_GONE ? cancelled : LINK_ERROR_NO_REPLY;
        }
        --credits;
        const int32_t refused = SendControl(CONTROL_NAK, link);
        if (refused != LINK_OK) return refused;
        continue;
      }
      if (read >= 1 && reply[0] == CONTROL_GONE) {
        link->state = LINK_STATE_CAMERA_GONE;
        return LINK_ERROR_CAMERA_GONE;
      }
      if ((read >= 1 && IsStoragePipe(link)) || read == PORT_TRANSFER_FAILED) {
        return LINK_ERROR_TRANSPORT;
      }
      LinkNoteError(LINK_ERROR_NO_REPLY, link);
      break;
    }
  }
  return LINK_ERROR_NO_REPLY;
}

}  // namespace pelox
