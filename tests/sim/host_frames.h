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

inline std::vector<uint8_t> HostCommandFrame(uint8_t command, std::span<const uint8_t> payload,
                                             Checksum checksum = Checksum::SUMMED) {
  std::vector<uint8_t> packet(payload.size() + PACKET_OVERHEAD);
  packet.resize(BuildCommandFrame(payload, packet, command, checksum));
  return packet;
}

inline std::vector<uint8_t> HostDataFrame(uint8_t frame_type, std::span<const uint8_t> payload,
                                          uint8_t sequence = 0,
                                          Checksum checksum = Checksum::SUMMED) {
  std::vector<uint8_t> packet(payload.size() + PACKET_OVERHEAD);
  packet.resize(BuildDataFrame(payload, packet, frame_type, sequence, checksum));
  return packet;
}

inline std::vector<uint8_t> Request(std::initializer_list<uint8_t> payload) {
  return HostCommandFrame(COMMAND_CAMERA, std::vector<uint8_t>(payload));
}

inline std::vector<uint8_t> SetRequest(uint8_t id, uint32_t value) {
  std::vector<uint8_t> payload{REQUEST_SET, id, 0, 0, 0, 0};
  StoreLe32(std::span(payload).subspan<2, 4>(), value);
  return HostCommandFrame(COMMAND_CAMERA, payload);
}

inline std::vector<uint8_t> SpeedRequest(uint8_t index) {
  const std::vector<uint8_t> payload{REQUEST_SET, 17, index, 0, 0, 0};
  return HostCommandFrame(COMMAND_SPEED, payload);
}

inline std::vector<uint8_t> GetRequest(uint8_t id) { return Request({REQUEST_GET, id}); }

inline std::vector<uint8_t> GetReply(uint32_t value) {
  std::vector<uint8_t> payload(4);
  StoreLe32(std::span(payload).first<4>(), value);
  return HostDataFrame(FRAME_DATA_LAST, payload);
}

// The command frame of a write and its data frames, as the host splits it.
inline std::vector<std::vector<uint8_t>> WriteFrames(uint8_t kind, std::span<const uint8_t> data,
                                                     bool large = false) {
  const size_t capacity = large ? FRAME_PAYLOAD_LARGE : FRAME_PAYLOAD_SMALL;
  const size_t first = std::min(data.size(), capacity - 2);
  std::vector<uint8_t> payload{large ? REQUEST_WRITE_LARGE : REQUEST_WRITE, kind};
  payload.insert(payload.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(first));
  const Checksum checksum = large ? Checksum::OMITTED : Checksum::SUMMED;
  std::vector<std::vector<uint8_t>> frames{HostCommandFrame(COMMAND_CAMERA, payload, checksum)};
  uint8_t sequence = 0;
  for (size_t offset = first; offset < data.size(); offset += capacity) {
    const size_t size = std::min(capacity, data.size() - offset);
    const uint8_t type = offset + size == data.size() ? FRAME_DATA_LAST : FRAME_DATA_MORE;
    frames.push_back(HostDataFrame(type, data.subspan(offset, size), sequence++, checksum));
  }
  return frames;
}

}  // namespace pelox::test
