#include <array>

#include "link/acknowledged_send.h"
#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"
#include "platform/clock.h"
#include "transport/byte_order.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

constexpr int32_t SET_ACK_ATTEMPTS = 6;
constexpr size_t SET_PAYLOAD_SIZE = 6;
using SetPacket = std::array<uint8_t, SET_PAYLOAD_SIZE + PACKET_OVERHEAD>;

SetPacket BuildSetPacket(uint32_t value, uint8_t property_id, uint8_t command, CameraLink* link) {
  link->tx_seq = 0;
  std::array<uint8_t, SET_PAYLOAD_SIZE> payload{REQUEST_SET, property_id};
  StoreLe32(std::span(payload).subspan<2, 4>(), value);
  SetPacket packet{};
  BuildCommandFrame(payload, packet, command);
  return packet;
}

// Sends the request until `read_answer` brings an acknowledgement, a
// failure no further try mends, or `go_on` says to stop; the result is the
// verdict on the last try.
template <typename ReadAnswer, typename GoOn>
int32_t SendSet(const SetPacket& packet, int32_t tries, ReadAnswer read_answer, GoOn go_on,
                CameraLink* link) {
  PreSendPause(link);
  if (CameraGoneCheck(link)) return LINK_ERROR_CAMERA_GONE;
  int32_t recorded = LINK_ERROR_SEND;
  uint32_t sent_at_ms = 0;
  for (int32_t attempt = 0; attempt < tries && go_on(); ++attempt) {
    if (attempt > 0) {
      LinkReportRequestAgain(attempt + 1, tries, recorded == LINK_ERROR_NAK, sent_at_ms, link);
    }
    sent_at_ms = ClockTickCount();
    const int32_t sent = SendPacket(packet, link);
    if (sent == SEND_NO_TIME) return WaitEndCode(link);
    if (sent == PORT_TRANSFER_FAILED) return LINK_ERROR_TRANSPORT;
    if (sent != PORT_OK) {
      recorded = LINK_ERROR_SEND;
      continue;
    }
    recorded = ControlAnswerCode(read_answer(), link);
    if (recorded == LINK_OK || recorded == LINK_ERROR_TRANSPORT ||
        recorded == LINK_ERROR_CAMERA_GONE) {
      return recorded;
    }
  }
  return recorded;
}

}  // namespace

int32_t ExchangeSet(uint32_t value, uint8_t property_id, uint8_t command, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  // A set bounded by its own deadline (a disconnect) has no time to settle.
  SettleLine(link);
  return SendSet(
      BuildSetPacket(value, property_id, command, link), EXCHANGE_TRIES,
      [link] { return ReadControlByte(SET_ACK_ATTEMPTS, link); }, [] { return true; }, link);
}

int32_t ExchangeSetBefore(uint32_t value, uint8_t property_id, uint8_t command, int32_t tries,
                          uint32_t deadline_ms, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  return SendSet(
      BuildSetPacket(value, property_id, command, link), tries,
      [link, deadline_ms] { return ReadControlByteBefore(deadline_ms, link); },
      [link, deadline_ms] { return !StopRequested(link) && TimeLeftMs(deadline_ms) > 0; }, link);
}

}  // namespace pelox
