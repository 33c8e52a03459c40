#include "link/packet.h"

#include <algorithm>
#include <limits>

#include "link/camera_link.h"
#include "transport/byte_order.h"

namespace pelox {

uint16_t PayloadChecksum(std::span<const uint8_t> payload) {
  uint32_t sum = 0;
  for (const uint8_t byte : payload) sum += byte;
  return static_cast<uint16_t>(sum);
}

size_t BuildPacket(std::span<const uint8_t> payload, std::span<uint8_t> out, uint8_t command,
                   uint8_t frame_type, bool with_checksum, uint8_t& tx_seq) {
  const size_t length = payload.size() + PACKET_OVERHEAD;
  if (payload.size() > std::numeric_limits<uint16_t>::max() || out.size() < length) return 0;
  if (command != 0) {
    out[0] = FRAME_COMMAND;
    out[1] = command;
  } else {
    out[0] = frame_type;
    out[1] = tx_seq++;
  }
  StoreLe16(out.subspan<2, 2>(), static_cast<uint16_t>(payload.size()));
  std::copy(payload.begin(), payload.end(), out.begin() + PACKET_HEADER_SIZE);
  const uint16_t checksum = with_checksum ? PayloadChecksum(payload) : NO_CHECKSUM;
  StoreLe16(out.subspan(PACKET_HEADER_SIZE + payload.size()).first<2>(), checksum);
  return length;
}

int32_t ParsePacket(std::span<const uint8_t> received, bool check_sum, uint8_t rx_seq,
                    ParsedPacket& parsed) {
  parsed = ParsedPacket{};
  if (received.empty()) return PACKET_MALFORMED;
  parsed.has_type = true;
  parsed.frame_type = received[0];
  const uint8_t type = received[0];
  if (type != FRAME_DATA_MORE && type != FRAME_DATA_LAST && type != FRAME_COMMAND) {
    return PACKET_MALFORMED;
  }
  if (received.size() < PACKET_OVERHEAD) return PACKET_MALFORMED;
  const size_t length = LoadLe16(received.subspan<2, 2>());
  if (length + PACKET_OVERHEAD != received.size()) return PACKET_MALFORMED;
  const std::span<const uint8_t> payload = received.subspan(PACKET_HEADER_SIZE, length);
  if (check_sum && LoadLe16(received.last<2>()) != PayloadChecksum(payload)) {
    return PACKET_MALFORMED;
  }
  parsed.payload = payload;
  if (type != FRAME_COMMAND && received[1] != rx_seq) return PACKET_OUT_OF_SEQUENCE;
  return LINK_OK;
}

}  // namespace pelox
