#pragma once
// The camera packet: header (frame type, code or sequence number, payload
// length), payload, and a 16-bit sum of the payload bytes. Pure functions
// over byte spans; the link's sequence counters are passed in.
#include <cstddef>
#include <cstdint>
#include <span>

namespace pelox {

// Frame types.
inline constexpr uint8_t FRAME_COMMAND = 0x1B;
inline constexpr uint8_t FRAME_DATA_MORE = 0x02;
inline constexpr uint8_t FRAME_DATA_LAST = 0x03;

// Command codes of a command frame.
inline constexpr uint8_t COMMAND_CAMERA = 0x43;  // 'C'
inline constexpr uint8_t COMMAND_SPEED = 0x53;   // 'S'

// Control bytes, sent and received outside packets.
inline constexpr uint8_t CONTROL_PROBE = 0x00;
inline constexpr uint8_t CONTROL_ACTION_DONE = 0x05;
inline constexpr uint8_t CONTROL_ACK = 0x06;
inline constexpr uint8_t CONTROL_ERROR = 0x11;
inline constexpr uint8_t CONTROL_NAK = 0x15;
inline constexpr uint8_t CONTROL_CAN = 0x18;
inline constexpr uint8_t CONTROL_GONE = 0xFF;

// Request classes, the first payload byte of a camera request.
inline constexpr uint8_t REQUEST_SET = 0;
inline constexpr uint8_t REQUEST_GET = 1;
inline constexpr uint8_t REQUEST_ACTION = 2;
inline constexpr uint8_t REQUEST_WRITE = 3;
inline constexpr uint8_t REQUEST_READ = 4;
inline constexpr uint8_t REQUEST_WRITE_LARGE = 5;
inline constexpr uint8_t REQUEST_READ_LARGE = 6;

inline constexpr size_t PACKET_HEADER_SIZE = 4;
inline constexpr size_t PACKET_CHECKSUM_SIZE = 2;
inline constexpr size_t PACKET_OVERHEAD = PACKET_HEADER_SIZE + PACKET_CHECKSUM_SIZE;
inline constexpr size_t FRAME_PAYLOAD_SMALL = 2048;
inline constexpr size_t FRAME_PAYLOAD_LARGE = 32768;
inline constexpr uint16_t NO_CHECKSUM = 0xFFFF;

// Verdicts of ParsePacket.
enum PacketVerdict : int32_t { PACKET_OK = 0, PACKET_OUT_OF_SEQUENCE = 13, PACKET_MALFORMED = 16 };

uint16_t PayloadChecksum(std::span<const uint8_t> payload);

// Whether a frame carries the sum of its payload or NO_CHECKSUM in its place.
// Only large-block writes go without.
enum class Checksum { SUMMED, OMITTED };

// The builders return the packet length (payload + 6), or 0 when `out` is
// too small or the payload does not fit the length field; then nothing is
// written and `tx_seq` stays.

// A command frame: FRAME_COMMAND and `command`, which takes no sequence number.
size_t BuildCommandFrame(std::span<const uint8_t> payload, std::span<uint8_t> out, uint8_t command,
                         Checksum checksum = Checksum::SUMMED);

// A data frame of `frame_type`, numbered `tx_seq`, which then moves on.
size_t BuildDataFrame(std::span<const uint8_t> payload, std::span<uint8_t> out, uint8_t frame_type,
                      uint8_t& tx_seq, Checksum checksum = Checksum::SUMMED);

struct ParsedPacket {
  bool has_type = false;  // at least one byte was there
  uint8_t frame_type = 0;
  std::span<const uint8_t> payload;
};

// PACKET_OK, PACKET_MALFORMED or PACKET_OUT_OF_SEQUENCE. The frame type byte
// is handed back whenever one byte was received, so that a control byte in
// its place can be told apart.
PacketVerdict ParsePacket(std::span<const uint8_t> received, bool check_sum, uint8_t rx_seq,
                          ParsedPacket& parsed);

}  // namespace pelox
