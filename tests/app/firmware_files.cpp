#include "tests/app/firmware_files.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "app/firmware_image.h"

namespace pelox::test {

std::vector<uint8_t> MakeFirmwareImage(const std::string& version,
                                       const std::vector<uint8_t>& payload) {
  uint32_t sum = 0;
  for (const uint8_t byte : payload) sum += byte;
  const std::string header = "PELOX FIRMWARE LENGTH=" + std::to_string(payload.size()) +
                             " VER=" + version + " SUM=" + std::to_string(sum) + "\r\n";
  std::vector<uint8_t> image(FIRMWARE_HEADER_SIZE, 0);
  std::copy_n(header.begin(), std::min(header.size(), image.size()), image.begin());
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}

std::vector<uint8_t> MakePayload(size_t size) {
  std::vector<uint8_t> payload(size);
  for (size_t i = 0; i < size; ++i) payload[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  return payload;
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ScratchDirectory::ScratchDirectory() : previous_(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "pelox-app-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch directory");
  path_ = pattern;
  std::filesystem::current_path(path_);
}

ScratchDirectory::~ScratchDirectory() {
  std::filesystem::current_path(previous_);
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace pelox::test
