#include <array>

#include "link/error_record.h"
#include "link/exchange_outcome.h"
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

constexpr size_t GET_REPLY_SIZE = 10;
constexpr uint32_t NO_VALUE = 0xFFFFFFFF;
constexpr size_t GET_PAYLOAD_SIZE = 2;

// Each send of the request and each NAK uses one of the credits.
struct GetExchange {
  CameraLink* link;
  uint32_t& value;
  bool check_sum;
  std::array<uint8_t, GET_PAYLOAD_SIZE + PACKET_OVERHEAD> request{};
  std::array<uint8_t, GET_REPLY_SIZE> reply{};
  int32_t credits = EXCHANGE_TRIES;
  int32_t sends = 0;
  uint32_t sent_at_ms = 0;
  bool camera_nak = false;  // the camera asked for the request again
  // The last try ended with the camera's error byte: giving up then reports
  // the refusal, as a refused set does.
  bool refused = false;

  Outcome Send() {
    if (credits == 0) {
      return {Next::Finish, refused ? LINK_ERROR_CAMERA_ERROR : LINK_ERROR_NO_REPLY};
    }
    if (CameraGoneCheck(link)) return {Next::Finish, LINK_ERROR_CAMERA_GONE};
    --credits;
    if (sends > 0) LinkReportRequestAgain(sends + 1, EXCHANGE_TRIES, camera_nak, sent_at_ms, link);
    ++sends;
    camera_nak = false;
    sent_at_ms = ClockTickCount();
    const int32_t sent = SendPacket(request, link);
    if (sent == SEND_NO_TIME) return {Next::Finish, WaitEndCode(link)};
    if (sent == PORT_TRANSFER_FAILED) return {Next::Finish, LINK_ERROR_TRANSPORT};
    if (sent != PORT_OK) {
      LinkNoteError(LINK_ERROR_SEND, link);
      return {Next::Send};
    }
    return {Next::Receive};
  }

  // NAK while a credit is left, else CAN and give up.
  Outcome Refuse() {
    if (credits > 0) return AskForTheReplyAgain(credits, link);
    const int32_t cancelled = SendControl(CONTROL_CAN, link);
    return {Next::Finish,
            cancelled == LINK_ERROR_CAMERA_GONE ? LINK_ERROR_CAMERA_GONE : LINK_ERROR_NO_REPLY};
  }

  Outcome Accept(const ParsedPacket& parsed) {
    if (SendAck(link) == LINK_ERROR_TRANSPORT) return {Next::Finish, LINK_ERROR_TRANSPORT};
    // The reply may be any copy's: the others' may follow.
    if (sends > 1) link->reply_owed = true;
    value = LoadLe32(parsed.payload.first<4>());
    return {Next::Finish, LINK_OK};
  }

  // Ten bytes that are not the value.
  Outcome BadReply() {
    if (IsStoragePipe(link)) return {Next::Finish, LINK_ERROR_TRANSPORT};
    // A control byte in place of the reply: the camera wants the request again.
    if (reply[0] == CONTROL_ERROR || reply[0] == CONTROL_NAK) {
      camera_nak = reply[0] == CONTROL_NAK;
      refused = reply[0] == CONTROL_ERROR;
      return {Next::Send};
    }
    LinkNoteError(LINK_ERROR_NO_REPLY, link);
    return Refuse();
  }

  Outcome Receive() {
    refused = false;
    const int32_t read = PortReadReply(reply, TIMEOUT_PACKET, link);
    if (read == static_cast<int32_t>(GET_REPLY_SIZE)) {
      link->rx_seq = 0;
      ParsedPacket parsed;
      const bool value_frame = ParsePacket(reply, check_sum, link->rx_seq, parsed) == PACKET_OK &&
                               parsed.frame_type == FRAME_DATA_LAST;
      return value_frame ? Accept(parsed) : BadReply();
    }
    if (read >= 1 && reply[0] == CONTROL_GONE) {
      link->state = LINK_STATE_CAMERA_GONE;
      return {Next::Finish, LINK_ERROR_CAMERA_GONE};
    }
    // The camera's error byte alone refuses the request, on either port.
    if (read == 1 && reply[0] == CONTROL_ERROR) {
      refused = true;
      return {Next::Send};
    }
    // On either port a NAK asks for the request again.
    const bool nak = read == 1 && reply[0] == CONTROL_NAK;
    if ((read >= 1 && IsStoragePipe(link) && !nak) || read == PORT_TRANSFER_FAILED) {
      return {Next::Finish, LINK_ERROR_TRANSPORT};
    }
    LinkNoteError(LINK_ERROR_NO_REPLY, link);
    camera_nak = nak;
    return {Next::Send};
  }
};

}  // namespace

int32_t ExchangeGet(uint8_t property_id, uint32_t& value, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  value = NO_VALUE;
  link->tx_seq = 0;
  GetExchange exchange{.link = link, .value = value, .check_sum = RepliesCarryChecksum(link)};
  const std::array<uint8_t, GET_PAYLOAD_SIZE> payload{REQUEST_GET, property_id};
  BuildCommandFrame(payload, exchange.request, COMMAND_CAMERA);
  SettleLine(link);
  PreSendPause(link);

  Outcome outcome{Next::Send};
  while (outcome.next != Next::Finish) {
    outcome = outcome.next == Next::Send ? exchange.Send() : exchange.Receive();
  }
  return outcome.code;
}

}  // namespace pelox
