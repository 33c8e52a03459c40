#include "sim/vocabulary/pictures.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>

#include "transport/byte_order.h"

namespace pelox::sim {
namespace {

constexpr size_t SOUND_HEADER_BYTES = 44;
constexpr uint32_t SOUND_SAMPLE_RATE = 8000;
constexpr std::array<uint8_t, 2> JPEG_START{0xFF, 0xD8};
constexpr std::array<uint8_t, 2> JPEG_END{0xFF, 0xD9};
// Sizes spread over several frames of either port kind without making a
// serial download slow.
constexpr uint32_t DATA_BASE_BYTES = 1500;
constexpr uint32_t DATA_SPREAD_BYTES = 30000;
constexpr uint32_t THUMBNAIL_BASE_BYTES = 300;
constexpr uint32_t THUMBNAIL_SPREAD_BYTES = 2000;
constexpr uint32_t PACKED_SOUND_BASE_BYTES = 400;
constexpr uint32_t PACKED_SOUND_SPREAD_BYTES = 3000;

// Bytes that differ from picture to picture and part to part (xorshift32).
std::vector<uint8_t> Noise(uint32_t seed, size_t size) {
  uint32_t state = seed * 2654435761u + 1;
  std::vector<uint8_t> bytes(size);
  for (uint8_t& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return bytes;
}

std::vector<uint8_t> JpegLike(uint32_t seed, size_t body_size) {
  std::vector<uint8_t> bytes(JPEG_START.begin(), JPEG_START.end());
  const std::vector<uint8_t> body = Noise(seed, body_size);
  bytes.insert(bytes.end(), body.begin(), body.end());
  bytes.insert(bytes.end(), JPEG_END.begin(), JPEG_END.end());
  return bytes;
}

// The 44-byte header of 8-bit mono samples, as a WAVE file opens.
std::vector<uint8_t> SoundHeader(uint32_t sample_bytes) {
  std::vector<uint8_t> header(SOUND_HEADER_BYTES);
  const std::span<uint8_t> fields(header);
  const auto text = [&](size_t offset, const char(&word)[5]) {
    std::copy_n(word, 4, fields.subspan(offset, 4).begin());
  };
  text(0, "RIFF");
  StoreLe32(fields.subspan<4, 4>(), static_cast<uint32_t>(SOUND_HEADER_BYTES - 8 + sample_bytes));
  text(8, "WAVE");
  text(12, "fmt ");
  StoreLe32(fields.subspan<16, 4>(), 16);
  StoreLe16(fields.subspan<20, 2>(), 1);  // PCM
  StoreLe16(fields.subspan<22, 2>(), 1);  // mono
  StoreLe32(fields.subspan<24, 4>(), SOUND_SAMPLE_RATE);
  StoreLe32(fields.subspan<28, 4>(), SOUND_SAMPLE_RATE);
  StoreLe16(fields.subspan<32, 2>(), 1);
  StoreLe16(fields.subspan<34, 2>(), 8);
  text(36, "data");
  StoreLe32(fields.subspan<40, 4>(), sample_bytes);
  return header;
}

SimSound CompressedSound(uint32_t number) {
  const uint32_t packed = PACKED_SOUND_BASE_BYTES + number * 613 % PACKED_SOUND_SPREAD_BYTES;
  SimSound sound;
  sound.decoded_size = static_cast<uint32_t>(SOUND_HEADER_BYTES) + 2 * packed;
  sound.data = SoundHeader(2 * packed);
  const std::vector<uint8_t> codes = Noise(number ^ 0x50554E44u, packed);
  sound.data.insert(sound.data.end(), codes.begin(), codes.end());
  sound.compressed = true;
  return sound;
}

bool ReadWhole(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

bool IsCompanion(const std::filesystem::path& path) {
  return path.extension() == ".thm" || path.extension() == ".wav";
}

}  // namespace

SimObject GeneratedPicture(uint32_t number) {
  SimObject picture;
  picture.data = JpegLike(number, DATA_BASE_BYTES + number * 9973 % DATA_SPREAD_BYTES);
  picture.secondary =
      JpegLike(~number, THUMBNAIL_BASE_BYTES + number * 389 % THUMBNAIL_SPREAD_BYTES);
  if (number % 2 == 1) picture.sound = CompressedSound(number);
  return picture;
}

std::optional<std::vector<SimObject>> PicturesFromDirectory(const std::string& directory,
                                                            std::string& error) {
  std::error_code failure;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(directory, failure)) {
    if (entry.is_regular_file() && !IsCompanion(entry.path())) files.push_back(entry.path());
  }
  if (failure) {
    error = "cannot list " + directory + ": " + failure.message();
    return std::nullopt;
  }
  std::ranges::sort(files);
  std::vector<SimObject> pictures;
  for (const std::filesystem::path& file : files) {
    SimObject picture;
    std::filesystem::path thumbnail = file;
    std::filesystem::path sound = file;
    thumbnail.replace_extension(".thm");
    sound.replace_extension(".wav");
    const auto read = [&](const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
      if (ReadWhole(path, bytes)) return true;
      error = "cannot read " + path.string();
      return false;
    };
    if (!read(file, picture.data)) return std::nullopt;
    if (std::filesystem::exists(thumbnail) && !read(thumbnail, picture.secondary)) {
      return std::nullopt;
    }
    if (std::filesystem::exists(sound)) {
      picture.sound.emplace();
      if (!read(sound, picture.sound->data)) return std::nullopt;
      picture.sound->decoded_size = static_cast<uint32_t>(picture.sound->data.size());
    }
    pictures.push_back(std::move(picture));
  }
  return pictures;
}

std::optional<std::vector<SimObject>> ChosenPictures(const std::string& directory,
                                                     uint32_t generated, std::string& error) {
  if (!directory.empty()) return PicturesFromDirectory(directory, error);
  std::vector<SimObject> pictures;
  for (uint32_t number = FIRST_PICTURE_NUMBER; number < FIRST_PICTURE_NUMBER + generated;
       ++number) {
    pictures.push_back(GeneratedPicture(number));
  }
  return pictures;
}

void AddPictures(CommandVocabulary& vocabulary, std::vector<SimObject> pictures) {
  uint32_t number = FIRST_PICTURE_NUMBER;
  for (SimObject& picture : pictures) vocabulary.AddObject(number++, std::move(picture));
}

}  // namespace pelox::sim
