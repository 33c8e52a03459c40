#include <algorithm>
#include <new>
#include <vector>

#include "link/acknowledged_send.h"
#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"

namespace pelox {
namespace {

constexpr uint8_t DATA_KIND_FIRMWARE = 29;
constexpr int32_t WRITE_ACK_ATTEMPTS = 5;
constexpr size_t COMMAND_PREFIX = 2;  // request class and data kind

// Percent of the data sent, in the integer steps the progress bar expects.
int32_t WritePercent(size_t remaining, size_t length) {
  const uint64_t scaled = static_cast<uint64_t>(remaining) * 1600 / length;
  return static_cast<int32_t>((1600 - scaled) / 16);
}

}  // namespace

int32_t ExchangeWrite(std::span<const uint8_t> data, uint8_t data_kind, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  link->tx_seq = 0;
  if (data.empty()) return LINK_OK;
  const bool large = link->large_blocks != 0 && data_kind == DATA_KIND_FIRMWARE;
  const size_t capacity = large ? FRAME_PAYLOAD_LARGE : FRAME_PAYLOAD_SMALL;
  const uint8_t request_class = large ? REQUEST_WRITE_LARGE : REQUEST_WRITE;
  const Checksum checksum = large ? Checksum::OMITTED : Checksum::SUMMED;

  const size_t first_taken = std::min(data.size(), capacity - COMMAND_PREFIX);
  std::vector<uint8_t> command_payload;
  std::vector<uint8_t> packet;
  try {
    command_payload.reserve(first_taken + COMMAND_PREFIX);
    packet.resize(capacity + PACKET_OVERHEAD);
  } catch (const std::bad_alloc&) {
    return LINK_ERROR_INTERNAL;
  }
  command_payload.push_back(request_class);
  command_payload.push_back(data_kind);
  command_payload.insert(command_payload.end(), data.begin(),
                         data.begin() + static_cast<ptrdiff_t>(first_taken));

  SettleLine(link);
  size_t sent = 0;
  for (uint32_t frame = 1; sent < data.size(); ++frame) {
    size_t taken = first_taken;
    size_t packet_length = 0;
    if (sent == 0) {
      packet_length = BuildCommandFrame(command_payload, packet, COMMAND_CAMERA, checksum);
    } else {
      taken = std::min(data.size() - sent, capacity);
      const uint8_t type = sent + taken == data.size() ? FRAME_DATA_LAST : FRAME_DATA_MORE;
      packet_length =
          BuildDataFrame(data.subspan(sent, taken), packet, type, link->tx_seq, checksum);
    }
    PreSendPause(link);
    const int32_t acked = SendUntilAcked(
        std::span(packet).first(packet_length),
        AckPolicy{.ack_attempts = WRITE_ACK_ATTEMPTS, .gone_check_each_try = true, .frame = frame},
        link);
    if (acked != LINK_OK) return acked;
    RenewStallBound(link);
    sent += taken;
    LinkEvent acknowledged;
    acknowledged.kind = LinkEventKind::BYTES_ACKNOWLEDGED;
    acknowledged.bytes = sent;
    acknowledged.total = data.size();
    LinkReportEvent(acknowledged, link);
    if (link->progress_callback != nullptr &&
        link->progress_callback(link->progress_user, 0,
                                WritePercent(data.size() - sent, data.size())) == 0) {
      return LINK_ERROR_CANCELLED;
    }
  }
  return LINK_OK;
}

}  // namespace pelox
