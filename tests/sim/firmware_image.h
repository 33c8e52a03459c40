#pragma once
// Firmware files for tests: the 96-byte header, zero-padded, then the payload.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace pelox::test {

inline uint32_t ByteSum(std::span<const uint8_t> bytes) {
  uint32_t sum = 0;
  for (uint8_t byte : bytes) sum += byte;
  return sum;
}

// `length_delta` and `sum_delta` spoil the header's LENGTH= and SUM=.
inline std::vector<uint8_t> FirmwareImage(std::span<const uint8_t> payload,
                                          const std::string& version, int64_t length_delta = 0,
                                          uint32_t sum_delta = 0) {
  constexpr size_t HEADER_SIZE = 96;
  char header[HEADER_SIZE + 1] = {};
  std::snprintf(header, sizeof header, "LENGTH=%lld VER=%s SUM=%u\r",
                static_cast<long long>(static_cast<int64_t>(payload.size()) + length_delta),
                version.c_str(), ByteSum(payload) + sum_delta);
  std::vector<uint8_t> image(header, header + HEADER_SIZE);
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}

}  // namespace pelox::test
