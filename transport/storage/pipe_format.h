#pragma once
// What travels on the storage pipe: the 16-byte CDB, the command block, the
// 64-byte data header, the answer and the status, and the makers' codes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "transport/port/port_state.h"

namespace pelox {

inline constexpr size_t PIPE_CDB_SIZE = 16;
inline constexpr size_t PIPE_CDB_LENGTH_OFFSET = 6;
inline constexpr size_t PIPE_CDB_MAKER_FLAG_OFFSET = 12;

// Length 16, type 1 and code 0x9FFF, little-endian, then eight zero bytes.
inline constexpr std::array<uint8_t, 16> PIPE_COMMAND_BLOCK{
    0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0xFF, 0x9F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// The data phase: a header with the phase's total length T and a type byte,
// then the packet.
inline constexpr size_t PIPE_DATA_HEADER_SIZE = 64;
inline constexpr size_t PIPE_DATA_TYPE_OFFSET = 4;
inline constexpr uint8_t PIPE_DATA_TYPE_PACKET = 2;

// The answer phase tells the length T of the data phase that follows.
inline constexpr size_t PIPE_ANSWER_SIZE = 16;
inline constexpr size_t PIPE_ANSWER_LENGTH_OFFSET = 12;
inline constexpr size_t PIPE_STATUS_SIZE = 14;

// The largest data phase a read can carry: the header and the longest frame
// the camera sends with large blocks (32768 payload bytes and their framing).
inline constexpr uint32_t PIPE_LARGEST_READ_PHASE = PIPE_DATA_HEADER_SIZE + 32774;

// The maker's operation codes; null for a code that is no camera maker's.
const OpcodeSet* PipeOpcodesFor(uint16_t vendor_code);
// CDB byte 12 of every command sent to the maker's cameras.
uint8_t PipeMakerFlagFor(uint16_t vendor_code);
// Some makers' cameras are sent no close command.
bool PipeSendsCloseTo(uint16_t vendor_code);

}  // namespace pelox
