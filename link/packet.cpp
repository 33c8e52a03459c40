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

namespace {

bool Fits(std::span<const uint8_t> payload, std::span<uint8_t> out) {
  return payload.size() <= std::numeric_limits<uint16_t>::max() &&
         out.size() >= payload.size() + PACKET_OVERHEAD;
}

// Writes everything after the two bytes that tell the frame kinds apart.
size_t FinishFrame(std::span<const uint8_t> payload, std::span<uint8_t> out, Checksum checksum) {
  StoreLe16(out.subspan<2, 2>(), static_cast<uint16_t>(payload.size()));
  std::copy(payload.begin(), payload.end(), out.begin() + PACKET_HEADER_SIZE);
  const uint16_t sum = checksum == Checksum::SUMMED ? PayloadChecksum(payload) : NO_CHECKSUM;
  StoreLe16(out.subspan(PACKET_HEADER_SIZE + payload.size()).first<2>(), sum);
  return payload.size() + PACKET_OVERHEAD;
}

}  // namespace

size_t BuildCommandFrame(std::span<const uint8_t> payload, std::span<uint8_t> out, uint8_t command,
                         Checksum checksum) {
  if (!Fits(payload, out)) return 0;
  out[0] = FRAME_COMMAND;
  out[1] = command;
  return FinishFrame(payload, out, checksum);
}

size_t BuildDataFrame(std::span<const uint8_t> payload, std::span<uint8_t> out, uint8_t frame_type,
                      uint8_t& tx_seq, Checksum checksum) {
  if (!Fits(payload, out)) return 0;
  out[0] = frame_type;
  out[1] = tx_seq++;
  return FinishFrame(payload, out, checksum);
}

PacketVerdict ParsePacket(std::span<const uint8_t> received, bool check_sum, uint8_t rx_seq,
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
  return PACKET_OK;
}

}  // namespace pelox
