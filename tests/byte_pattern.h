#pragma once
// Test data whose bytes differ from their neighbours and do not repeat every
// 256 bytes, so that a misplaced, lost or repeated frame shows.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelox::test {

inline std::vector<uint8_t> Pattern(size_t size, uint8_t seed = 0) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13 + i / 251);
  return bytes;
}

}  // namespace pelox::test
