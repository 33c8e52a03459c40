#include "sim/camera/firmware_store.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

namespace pelox::sim {
namespace {

// The header's text ends at its first zero byte or after 96 bytes.
std::string_view HeaderText(std::span<const uint8_t> image) {
  const auto header = image.first(std::min(image.size(), FIRMWARE_HEADER_SIZE));
  const auto end = std::find(header.begin(), header.end(), uint8_t{0});
  return {reinterpret_cast<const char*>(header.data()), static_cast<size_t>(end - header.begin())};
}

std::optional<std::string_view> HeaderValue(std::string_view header, std::string_view key,
                                            char terminator) {
  const size_t start = header.find(key);
  if (start == std::string_view::npos) return std::nullopt;
  const size_t value = start + key.size();
  const size_t end = header.find(terminator, value);
  if (end == std::string_view::npos) return std::nullopt;
  return header.substr(value, end - value);
}

// A decimal number of at most ten digits, taken modulo 2^32.
std::optional<uint32_t> Decimal(std::string_view text) {
  constexpr size_t MAX_DIGITS = 10;
  if (text.empty() || text.size() > MAX_DIGITS) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return static_cast<uint32_t>(value);
}

uint32_t ByteSum(std::span<const uint8_t> bytes) {
  uint32_t sum = 0;
  for (uint8_t byte : bytes) sum += byte;
  return sum;
}

const char* ArrivalText(const FirmwareStatement& statement) {
  if (!statement.transfer_complete) return "arrived incomplete";
  // LENGTH= and SUM= agreeing with the bytes is what proves them intact.
  return statement.image_problem.empty() ? "arrived byte for byte" : "arrived whole";
}

}  // namespace

FirmwareStore::FirmwareStore(uint32_t accepted_key, uint32_t busy_ms)
    : accepted_key_(accepted_key), busy_ms_(std::min(busy_ms, MAX_FLASH_BUSY_MS)) {}

void FirmwareStore::BeginTransfer(uint32_t key_now) {
  keyed_ = key_now == accepted_key_;
  image_.clear();
  // A new image: what was said of an earlier one no longer holds.
  statement_ = FirmwareStatement{};
  statement_.transfer_started = true;
  statement_.image_problem = "the transfer was cut short";
}

void FirmwareStore::Append(std::span<const uint8_t> bytes) {
  image_.insert(image_.end(), bytes.begin(), bytes.end());
  statement_.bytes_received = static_cast<uint32_t>(image_.size());
  statement_.byte_sum += ByteSum(bytes);
}

void FirmwareStore::EndTransfer(bool complete) {
  statement_.transfer_complete = complete;
  statement_.image_problem = complete ? CheckImage() : "the transfer was cut short";
}

std::string FirmwareStore::CheckImage() {
  if (image_.size() < FIRMWARE_HEADER_SIZE) return "the image is shorter than its header";
  const std::string_view header = HeaderText(image_);
  const auto length = HeaderValue(header, "LENGTH=", ' ');
  const auto ver = HeaderValue(header, "VER=", ' ');
  const auto sum = HeaderValue(header, "SUM=", '\r');
  if (!length || !ver || !sum) return "the header lacks LENGTH=, VER= or SUM=";
  const auto declared_length = Decimal(*length);
  if (!declared_length || *declared_length != image_.size() - FIRMWARE_HEADER_SIZE) {
    return "LENGTH= does not match the image";
  }
  const auto declared_sum = Decimal(*sum);
  if (!declared_sum || *declared_sum != ByteSum(std::span(image_).subspan(FIRMWARE_HEADER_SIZE))) {
    return "SUM= does not match the payload";
  }
  image_version_ = std::string(*ver);
  return {};
}

bool FirmwareStore::Flash(std::string& version) {
  statement_.outcome = FlashOutcome::REFUSED;
  if (!statement_.transfer_started) {
    statement_.reason = "no image was sent";
  } else if (!keyed_) {
    statement_.reason = "the upload key was not set before the transfer";
  } else if (!statement_.image_problem.empty()) {
    statement_.reason = statement_.image_problem;
  } else {
    statement_.outcome = FlashOutcome::NOT_ASKED;  // until the write has finished
    statement_.reason.clear();
    version = image_version_;
    return true;
  }
  return false;
}

void FirmwareStore::NoteFlashed(const std::string& version) {
  statement_.outcome = FlashOutcome::FLASHED;
  statement_.reason.clear();
  statement_.version_after = version;
}

void FirmwareStore::NoteNotWritten(std::string reason) {
  statement_.outcome = FlashOutcome::REFUSED;
  statement_.reason = std::move(reason);
}

std::string DescribeStatement(const FirmwareStatement& statement) {
  char text[256];
  if (!statement.transfer_started) return "camsim: no firmware image was sent";
  std::snprintf(text, sizeof text, "camsim: firmware image of %u bytes %s (sum 0x%08X)",
                statement.bytes_received, ArrivalText(statement), statement.byte_sum);
  std::string result = text;
  switch (statement.outcome) {
    case FlashOutcome::NOT_ASKED: result += " and was not flashed"; break;
    case FlashOutcome::FLASHED:
      result += " and was flashed: version now " + statement.version_after;
      break;
    case FlashOutcome::REFUSED: result += " and was refused: " + statement.reason; break;
  }
  return result;
}

}  // namespace pelox::sim
