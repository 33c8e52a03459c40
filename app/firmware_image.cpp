#include "app/firmware_image.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "app/dialog_ids.h"
#include "commands/firmware_commands.h"

namespace pelox {
namespace {

constexpr std::string_view KEY_LENGTH = "LENGTH=";
constexpr std::string_view KEY_VERSION = "VER=";
constexpr std::string_view KEY_SUM = "SUM=";
constexpr char VALUE_END = ' ';
constexpr char SUM_END = '\r';

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Keys are searched as text that ends at the first zero byte, or at the end
// of the image when it holds none.
std::string_view KeySearchArea(std::span<const uint8_t> image) {
  const auto zero = std::find(image.begin(), image.end(), uint8_t{0});
  return {reinterpret_cast<const char*>(image.data()), static_cast<size_t>(zero - image.begin())};
}

// The value after the first occurrence of `key`, up to its terminator, when
// it fits a value buffer with its terminator.
std::optional<std::string_view> HeaderValue(std::string_view area, std::string_view key,
                                            char terminator) {
  const size_t key_at = area.find(key);
  if (key_at == std::string_view::npos) return std::nullopt;
  const size_t start = key_at + key.size();
  const size_t end = area.find(terminator, start);
  if (end == std::string_view::npos || end - start >= VERSION_TEXT_CAPACITY) return std::nullopt;
  return area.substr(start, end - start);
}

}  // namespace

int32_t ParseHeaderNumber(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && IsSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                 : int64_t{std::numeric_limits<int32_t>::max()};
  int64_t magnitude = 0;
  for (; at < text.size() && IsDigit(text[at]); ++at) {
    magnitude = std::min(magnitude * 10 + (text[at] - '0'), limit);
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

HeaderVerdict FirmwareHeaderInspect(std::span<const uint8_t> image, VersionText& version) {
  if (image.size() < FIRMWARE_HEADER_SIZE) return {HeaderFault::SHORT};
  const std::string_view area = KeySearchArea(image);

  const auto length_text = HeaderValue(area, KEY_LENGTH, VALUE_END);
  if (!length_text) return {HeaderFault::NO_LENGTH};
  const int32_t length = ParseHeaderNumber(*length_text);
  const size_t payload_size = image.size() - FIRMWARE_HEADER_SIZE;
  if (length < 0 || static_cast<size_t>(length) != payload_size) {
    return {HeaderFault::LENGTH_MISMATCH, length, static_cast<int64_t>(payload_size)};
  }
  // Flashing nothing would leave the camera without firmware.
  if (payload_size == 0) return {HeaderFault::EMPTY_PAYLOAD};

  version.fill('\0');
  const auto version_text = HeaderValue(area, KEY_VERSION, VALUE_END);
  if (!version_text) return {HeaderFault::NO_VERSION};
  std::copy(version_text->begin(), version_text->end(), version.begin());

  const auto sum_text = HeaderValue(area, KEY_SUM, SUM_END);
  if (!sum_text) return {HeaderFault::NO_SUM};
  // The payload's byte sum, wrapping at 32 bits, must cancel SUM exactly.
  const auto declared = static_cast<uint32_t>(ParseHeaderNumber(*sum_text));
  const uint32_t sum = FirmwarePayloadSum(image);
  if (sum != declared) return {HeaderFault::SUM_MISMATCH, declared, sum};
  return {};
}

uint32_t FirmwarePayloadSum(std::span<const uint8_t> image) {
  uint32_t sum = 0;
  if (image.size() <= FIRMWARE_HEADER_SIZE) return sum;
  for (const uint8_t byte : image.subspan(FIRMWARE_HEADER_SIZE)) sum += byte;
  return sum;
}

HeaderFields FirmwareHeaderFields(std::span<const uint8_t> image) {
  const std::string_view area = KeySearchArea(image);
  HeaderFields fields;
  if (const auto length = HeaderValue(area, KEY_LENGTH, VALUE_END)) fields.length = *length;
  if (const auto version = HeaderValue(area, KEY_VERSION, VALUE_END)) fields.version = *version;
  if (const auto sum = HeaderValue(area, KEY_SUM, SUM_END)) fields.sum = *sum;
  return fields;
}

int32_t FirmwareHeaderCheck(std::span<const uint8_t> image, VersionText& version) {
  return FirmwareHeaderInspect(image, version).fault == HeaderFault::NONE
             ? STEP_OK
             : STEP_ERROR_INVALID_PARAMETER;
}

std::string FirmwareImagePath() {
  std::string path = FileCurrentDirectory();
  if (path.empty()) return path;
  path += FilePathSeparator();
  path += FIRMWARE_FILE_NAME;
  if (path.size() >= FIRMWARE_PATH_CAPACITY) return {};
  return path;
}

HeaderVerdict FirmwareImageInspect(const FirmwareImage& image, VersionText& version) {
  if (image.file_size > FIRMWARE_FILE_MAX_SIZE) {
    return {HeaderFault::TOO_LARGE, FIRMWARE_FILE_MAX_SIZE, image.file_size};
  }
  return FirmwareHeaderInspect(image.bytes, version);
}

int32_t FirmwareImageOpen(FirmwareImage& image, std::string path) {
  if (path.empty()) path = FirmwareImagePath();
  if (path.empty()) return STEP_ERROR_ACCESS_DENIED;
  uint32_t error = 0;
  image.file = FileOpenRead(path.c_str(), error);
  if (image.file == nullptr) {
    image.open_error = error;
    return STEP_ERROR_FILE_NOT_FOUND;
  }
  image.file_size = FileSize(image.file);
  if (image.file_size <= 0) return STEP_ERROR_CANTOPEN;
  // Reading a larger file whole would size memory by the file.
  if (image.file_size > FIRMWARE_FILE_MAX_SIZE) return STEP_OK;
  image.bytes.resize(static_cast<size_t>(image.file_size));
  // A file cut short meanwhile leaves fewer bytes, which the check refuses.
  size_t filled = 0;
  while (filled < image.bytes.size()) {
    const int64_t count = FileRead(image.file, std::span(image.bytes).subspan(filled));
    if (count < 0) return STEP_ERROR_CANTOPEN;
    if (count == 0) break;
    filled += static_cast<size_t>(count);
  }
  image.bytes.resize(filled);
  return STEP_OK;
}

void FirmwareImageRelease(FirmwareImage& image) {
  if (image.file != nullptr) FileClose(image.file);
  image = FirmwareImage{};
}

}  // namespace pelox
