#pragma once
// The camera's own view of the bytes on the wire: frame types, control
// bytes, request classes, the speed table, and its frame codec. The camera
// is the far end of the host's framing and deliberately shares none of the
// host's code, so that a fault in one cannot hide in the other.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pelox::sim {

inline constexpr uint8_t FRAME_COMMAND = 0x1B;
inline constexpr uint8_t FRAME_DATA_MORE = 0x02;
inline constexpr uint8_t FRAME_DATA_LAST = 0x03;

inline constexpr uint8_t CONTROL_PROBE = 0x00;
inline constexpr uint8_t CONTROL_ACTION_DONE = 0x05;
inline constexpr uint8_t CONTROL_ACK = 0x06;
inline constexpr uint8_t CONTROL_ERROR = 0x11;
inline constexpr uint8_t CONTROL_NAK = 0x15;
inline constexpr uint8_t CONTROL_CAN = 0x18;
inline constexpr uint8_t CONTROL_GONE = 0xFF;

inline constexpr uint8_t COMMAND_CAMERA = 0x43;  // 'C'
inline constexpr uint8_t COMMAND_SPEED = 0x53;   // 'S'

inline constexpr uint8_t REQUEST_SET = 0;
inline constexpr uint8_t REQUEST_GET = 1;
inline constexpr uint8_t REQUEST_ACTION = 2;
inline constexpr uint8_t REQUEST_WRITE = 3;
inline constexpr uint8_t REQUEST_READ = 4;
inline constexpr uint8_t REQUEST_WRITE_LARGE = 5;
inline constexpr uint8_t REQUEST_READ_LARGE = 6;

inline constexpr size_t FRAME_HEADER_SIZE = 4;
inline constexpr size_t FRAME_OVERHEAD = 6;
inline constexpr size_t SMALL_PAYLOAD = 2048;
inline constexpr size_t LARGE_PAYLOAD = 32768;
inline constexpr uint16_t NO_CHECKSUM = 0xFFFF;

inline constexpr uint8_t PROPERTY_SPEED = 17;

// Line speed by speed index; the line starts at the speed of index 0.
inline constexpr std::array<uint32_t, 7> SPEED_TABLE = {19200, 9600,   19200, 38400,
                                                        57600, 115200, 230400};
inline constexpr uint32_t INITIAL_BAUD = SPEED_TABLE[0];

struct Frame {
  uint8_t type = 0;
  uint8_t code_or_sequence = 0;
  std::span<const uint8_t> payload;
  uint16_t checksum = 0;
};

// The sum of the payload bytes modulo 65536.
uint16_t PayloadChecksum(std::span<const uint8_t> payload);

std::vector<uint8_t> EncodeFrame(uint8_t type, uint8_t code_or_sequence,
                                 std::span<const uint8_t> payload, bool with_checksum = true);

// The frame laid out in `unit`, when its first byte is a frame type and its
// length field matches the unit's size; the checksum is not judged here.
std::optional<Frame> DecodeFrame(std::span<const uint8_t> unit);

bool IsFrameType(uint8_t byte);

inline std::vector<uint8_t> ControlUnit(uint8_t byte) { return {byte}; }

}  // namespace pelox::sim
