#pragma once
// Sample firmware images for the demo and the tests: a header whose LENGTH,
// VER and SUM agree with a generated payload.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pelox {

// A payload of `size` bytes that is not all alike.
std::vector<uint8_t> SamplePayload(size_t size);

// The header text for the payload, before padding; it fits the image only
// while it is at most 96 bytes long.
std::string SampleFirmwareHeader(const std::string& version, const std::vector<uint8_t>& payload);

// The whole image: the 96-byte header, padded with `padding`, then the payload.
std::vector<uint8_t> SampleFirmwareImage(const std::string& version,
                                         const std::vector<uint8_t>& payload, uint8_t padding = 0);

}  // namespace pelox
