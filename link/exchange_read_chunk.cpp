#include <algorithm>
#include <array>
#include <memory>
#include <new>

#include "link/error_record.h"
#include "link/exchange_outcome.h"
#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

struct ChunkReceiver {
  const ChunkRequest& request;
  ChunkResult& result;
  CameraLink* link;
  std::span<uint8_t> buffer;
  size_t largest;
  bool check_sum;
  int32_t credits = EXCHANGE_TRIES;
  // The last try ended with the camera's error byte: giving up then reports
  // the refusal, as a refused set does.
  bool refused = false;

  // NAK while a credit is left, else CAN and give up.
  Outcome Refuse() {
    if (credits > 0) return AskForTheReplyAgain(credits, link);
    const int32_t cancelled = SendControl(CONTROL_CAN, link);
    return cancelled != LINK_OK ? Outcome{Next::Finish, cancelled} : Outcome{Next::Send};
  }

  Outcome BadFrame() {
    if (IsStoragePipe(link)) return {Next::Finish, LINK_ERROR_TRANSPORT};
    DrainInput(link);
    return Refuse();
  }

  Outcome Deliver(const ParsedPacket& parsed) {
    std::copy(parsed.payload.begin(), parsed.payload.end(), request.destination.begin());
    result.delivered = static_cast<uint32_t>(parsed.payload.size());
    result.more = parsed.frame_type == FRAME_DATA_MORE;
    ++link->rx_seq;
    // The last frame is acknowledged at once; the others by the next chunk's call.
    if (!result.more && SendAck(link) == LINK_ERROR_TRANSPORT) {
      return {Next::Finish, LINK_ERROR_TRANSPORT};
    }
    return {Next::Finish, LINK_OK};
  }

  Outcome ReceiveOnce() {
    refused = false;
    const Reception reception = ReceivePacket(buffer, TIMEOUT_PACKET, largest, link);
    // The camera refused the request itself, on either port. Answering with
    // NAK would have it resend its previous packet, which a read would take
    // for data.
    if (request.first && reception.received == 1 &&
        (buffer[0] == CONTROL_NAK || buffer[0] == CONTROL_ERROR)) {
      refused = buffer[0] == CONTROL_ERROR;
      return {Next::Send};
    }
    if (reception.complete) {
      ParsedPacket parsed;
      const PacketVerdict verdict =
          ParsePacket(std::span<const uint8_t>(buffer).first(reception.received), check_sum,
                      link->rx_seq, parsed);
      if (verdict == PACKET_OK && parsed.frame_type == FRAME_COMMAND) {
        // The request echoed or repeated: send it again. A later chunk has no
        // request at hand, so there it counts as a bad frame.
        return request.first ? Outcome{Next::Send} : BadFrame();
      }
      // A payload larger than the destination is refused rather than cut.
      if (verdict == PACKET_OK && parsed.payload.size() <= request.destination.size()) {
        return Deliver(parsed);
      }
      return BadFrame();
    }
    if (reception.received > 0 && buffer[0] == CONTROL_GONE) {
      link->state = LINK_STATE_CAMERA_GONE;
      return {Next::Finish, LINK_ERROR_CAMERA_GONE};
    }
    if (reception.port_error == PORT_TRANSFER_FAILED) return {Next::Finish, LINK_ERROR_TRANSPORT};
    LinkNoteError(LINK_ERROR_NO_REPLY, link);
    DrainInput(link);
    if (reception.received == 0 && request.first) return {Next::Send};
    return Refuse();
  }
};

}  // namespace

int32_t ExchangeReadChunk(const ChunkRequest& request, ChunkResult& result, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  result = ChunkResult{};
  const bool large = request.request_class == REQUEST_READ_LARGE;
  const size_t buffer_size = (large ? FRAME_PAYLOAD_LARGE : FRAME_PAYLOAD_SMALL) + PACKET_OVERHEAD;
  const std::unique_ptr<uint8_t[]> storage(new (std::nothrow) uint8_t[buffer_size]);
  if (!storage) return LINK_ERROR_INTERNAL;

  ChunkReceiver receiver{
      .request = request,
      .result = result,
      .link = link,
      .buffer = std::span(storage.get(), buffer_size),
      .largest = std::min(request.destination.size(), buffer_size - PACKET_OVERHEAD),
      .check_sum = !large && RepliesCarryChecksum(link),
  };

  const std::array<uint8_t, 2> payload{request.request_class, request.data_kind};
  std::array<uint8_t, payload.size() + PACKET_OVERHEAD> packet{};
  bool send = request.first;
  if (request.first) {
    link->tx_seq = 0;
    BuildCommandFrame(payload, packet, COMMAND_CAMERA);
    link->rx_seq = 0;
    SettleLine(link);
  } else if (SendAck(link) == LINK_ERROR_TRANSPORT) {
    return LINK_ERROR_TRANSPORT;
  }

  for (;;) {
    if (send) {
      // Only the first chunk has a request to send.
      if (!request.first || receiver.credits == 0) {
        return receiver.refused ? LINK_ERROR_CAMERA_ERROR : LINK_ERROR_NO_REPLY;
      }
      --receiver.credits;
      PreSendPause(link);
      if (CameraGoneCheck(link)) return LINK_ERROR_CAMERA_GONE;
      const int32_t sent = SendPacket(packet, link);
      if (sent == SEND_NO_TIME) return WaitEndCode(link);
      if (sent == PORT_TRANSFER_FAILED) return LINK_ERROR_TRANSPORT;
      if (sent != PORT_OK) {
        LinkNoteError(LINK_ERROR_NO_REPLY, link);
        continue;
      }
    }
    const Outcome outcome = receiver.ReceiveOnce();
    if (outcome.next == Next::Finish) return outcome.code;
    send = outcome.next == Next::Send;
  }
}

}  // namespace pelox
