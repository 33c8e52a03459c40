#include "tools/firmware_sample.h"

#include <algorithm>

#include "app/firmware_image.h"

namespace pelox {

std::vector<uint8_t> SamplePayload(size_t size) {
  std::vector<uint8_t> payload(size);
  for (size_t i = 0; i < size; ++i) payload[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  return payload;
}

std::string SampleFirmwareHeader(const std::string& version, const std::vector<uint8_t>& payload) {
  uint32_t sum = 0;
  for (const uint8_t byte : payload) sum += byte;
  return "PELOX FIRMWARE LENGTH=" + std::to_string(payload.size()) + " VER=" + version +
         " SUM=" + std::to_string(sum) + "\r\n";
}

std::vector<uint8_t> SampleFirmwareImage(const std::string& version,
                                         const std::vector<uint8_t>& payload, uint8_t padding) {
  const std::string header = SampleFirmwareHeader(version, payload);
  std::vector<uint8_t> image(FIRMWARE_HEADER_SIZE, padding);
  std::copy_n(header.begin(), std::min(header.size(), image.size()), image.begin());
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}

}  // namespace pelox
