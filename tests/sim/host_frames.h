#pragma once
// Frames as the host builds them, made with the link's own codec, so that
// the camera's separate codec is checked against it.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "link/packet.h"
#include "transport/byte_order.h"

namespace pelox::test {

inline std::vector<uint8_t> HostFrame(uint8_t command, uint8_t frame_type,
                                      std::span<const uint8_t> payload, uint8_t sequence = 0,
                                      bool with_checksum = true) {
  std::vector<uint8_t> packet(payload.size() + PACKET_OVERHEAD);
  packet.resize(BuildPacket(payload, packet, command, frame_type, with_checksum, sequence));
  return packet;
}

inline std::vector<uint8_t> Request(std::initializer_list<uint8_t> payload) {
  return HostFrame(COMMAND_CAMERA, FRAME_COMMAND, std::vector<uint8_t>(payload));
}

inline std::vector<uint8_t> SetRequest(uint8_t id, uint32_t value) {
  std::vector<uint8_t> payload{REQUEST_SET, id, 0, 0, 0, 0};
  StoreLe32(std::span(payload).subspan<2, 4>(), value);
  return HostFrame(COMMAND_CAMERA, FRAME_COMMAND, payload);
}

inline std::vector<uint8_t> SpeedRequest(uint8_t index) {
  const std::vector<uint8_t> payload{REQUEST_SET, 17, index, 0, 0, 0};
  return HostFrame(COMMAND_SPEED, FRAME_COMMAND, payload);
}

inline std::vector<uint8_t> GetRequest(uint8_t id) { return Request({REQUEST_GET, id}); }

inline std::vector<uint8_t> GetReply(uint32_t value) {
  std::vector<uint8_t> payload(4);
  StoreLe32(std::span(payload).first<4>(), value);
  return HostFrame(0, FRAME_DATA_LAST, payload);
}

// The command frame of a write and its data frames, as the host splits it.
inline std::vector<std::vector<uint8_t>> WriteFrames(uint8_t kind, std::span<const uint8_t> data,
                                                     bool large = false) {
  const size_t capacity = large ? FRAME_PAYLOAD_LARGE : FRAME_PAYLOAD_SMALL;
  const size_t first = std::min(data.size(), capacity - 2);
  std::vector<uint8_t> payload{large ? REQUEST_WRITE_LARGE : REQUEST_WRITE, kind};
  payload.insert(payload.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(first));
  std::vector<std::vector<uint8_t>> frames{
      HostFrame(COMMAND_CAMERA, FRAME_COMMAND, payload, 0, !large)};
  uint8_t sequence = 0;
  for (size_t offset = first; offset < data.size(); offset += capacity) {
    const size_t size = std::min(capacity, data.size() - offset);
    const uint8_t type = offset + size == data.size() ? FRAME_DATA_LAST : FRAME_DATA_MORE;
    frames.push_back(HostFrame(0, type, data.subspan(offset, size), sequence++, !large));
  }
  return frames;
}

}  // namespace pelox::test
