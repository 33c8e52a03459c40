#include <array>

#include "link/acknowledged_send.h"
#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"

namespace pelox {
namespace {

int32_t SendAction(uint8_t action, uint8_t argument, bool once, CameraLink* link) {
  link->tx_seq = 0;
  const std::array<uint8_t, 3> payload{REQUEST_ACTION, action, argument};
  std::array<uint8_t, payload.size() + PACKET_OVERHEAD> packet{};
  BuildCommandFrame(payload, packet, COMMAND_CAMERA);
  SettleLine(link);
  PreSendPause(link);
  if (CameraGoneCheck(link)) return LINK_ERROR_CAMERA_GONE;
  return SendUntilAcked(
      packet, AckPolicy{.ack_attempts = 1, .gone_check_each_try = false, .once = once}, link);
}

}  // namespace

int32_t ExchangeAction(uint8_t action, uint8_t argument, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  return SendAction(action, argument, false, link);
}

int32_t ExchangeActionOnce(uint8_t action, uint8_t argument, CameraLink* link) {
  return SendAction(action, argument, true, link);
}

}  // namespace pelox
