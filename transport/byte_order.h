#pragma once
/// @file
/// Little-endian load/store for packet and command fields, and the one
/// big-endian length the storage pipe's command descriptor block carries.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

/// Stores `value` little-endian.
inline void StoreLe16(std::span<uint8_t, 2> out, uint16_t value) {
  out[0] = static_cast<uint8_t>(value);
  out[1] = static_cast<uint8_t>(value >> 8);
}

/// Stores `value` little-endian.
inline void StoreLe32(std::span<uint8_t, 4> out, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

/// Loads a little-endian value.
inline uint16_t LoadLe16(std::span<const uint8_t, 2> in) {
  return static_cast<uint16_t>(in[0] | (in[1] << 8));
}

/// Loads a little-endian value.
inline uint32_t LoadLe32(std::span<const uint8_t, 4> in) {
  return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
         (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
}

/// Stores `value` big-endian, as the storage pipe's command block carries its length.
inline void StoreBe32(std::span<uint8_t, 4> out, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * (3 - i)));
}

/// Loads a big-endian value.
inline uint32_t LoadBe32(std::span<const uint8_t, 4> in) {
  return (static_cast<uint32_t>(in[0]) << 24) | (static_cast<uint32_t>(in[1]) << 16) |
         (static_cast<uint32_t>(in[2]) << 8) | static_cast<uint32_t>(in[3]);
}

}  // namespace pelox
PELOX_API_END
