#include "sim/camera/wire.h"

#include "transport/byte_order.h"

namespace pelox::sim {

uint16_t PayloadChecksum(std::span<const uint8_t> payload) {
  uint32_t sum = 0;
  for (uint8_t byte : payload) sum += byte;
  return static_cast<uint16_t>(sum);
}

bool IsFrameType(uint8_t byte) {
  return byte == FRAME_COMMAND || byte == FRAME_DATA_MORE || byte == FRAME_DATA_LAST;
}

std::vector<uint8_t> EncodeFrame(uint8_t type, uint8_t code_or_sequence,
                                 std::span<const uint8_t> payload, bool with_checksum) {
  std::vector<uint8_t> frame(payload.size() + FRAME_OVERHEAD);
  frame[0] = type;
  frame[1] = code_or_sequence;
  StoreLe16(std::span<uint8_t>(frame).subspan<2, 2>(), static_cast<uint16_t>(payload.size()));
  std::copy(payload.begin(), payload.end(), frame.begin() + FRAME_HEADER_SIZE);
  const uint16_t checksum = with_checksum ? PayloadChecksum(payload) : NO_CHECKSUM;
  StoreLe16(std::span<uint8_t>(frame).last<2>(), checksum);
  return frame;
}

std::optional<Frame> DecodeFrame(std::span<const uint8_t> unit) {
  if (unit.size() < FRAME_OVERHEAD || !IsFrameType(unit[0])) return std::nullopt;
  const size_t length = LoadLe16(unit.subspan<2, 2>());
  if (length + FRAME_OVERHEAD != unit.size()) return std::nullopt;
  Frame frame;
  frame.type = unit[0];
  frame.code_or_sequence = unit[1];
  frame.payload = unit.subspan(FRAME_HEADER_SIZE, length);
  frame.checksum = LoadLe16(unit.last<2>());
  return frame;
}

}  // namespace pelox::sim
