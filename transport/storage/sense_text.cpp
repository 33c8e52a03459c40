#include "transport/storage/sense_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "transport/hex_text.h"

namespace pelox {
namespace {

constexpr uint8_t RESPONSE_CODE_MASK = 0x7F;
constexpr uint8_t SENSE_KEY_MASK = 0x0F;
constexpr uint8_t FIXED_CURRENT = 0x70;
constexpr uint8_t FIXED_DEFERRED = 0x71;
constexpr uint8_t DESCRIPTOR_CURRENT = 0x72;
constexpr uint8_t DESCRIPTOR_DEFERRED = 0x73;
// Fixed format: the key in byte 2, the count of bytes after byte 7 in byte
// 7, the additional sense code and qualifier in bytes 12 and 13.
constexpr size_t FIXED_KEY = 2;
constexpr size_t FIXED_ADDITIONAL_LENGTH = 7;
constexpr size_t FIXED_ASC = 12;
constexpr size_t FIXED_ASCQ = 13;
// Descriptor format: key, code and qualifier in bytes 1 to 3.
constexpr size_t DESCRIPTOR_KEY = 1;
constexpr size_t DESCRIPTOR_ASC = 2;
constexpr size_t DESCRIPTOR_ASCQ = 3;

struct Decoded {
  uint8_t key;
  uint8_t asc;
  uint8_t ascq;
};

// Only bytes the device returned and counted as valid are decoded.
std::optional<Decoded> Decode(std::span<const uint8_t> sense) {
  if (sense.empty()) return std::nullopt;
  switch (sense[0] & RESPONSE_CODE_MASK) {
    case FIXED_CURRENT:
    case FIXED_DEFERRED: {
      if (sense.size() <= FIXED_ADDITIONAL_LENGTH) return std::nullopt;
      const size_t valid =
          std::min(sense.size(), FIXED_ADDITIONAL_LENGTH + 1 + sense[FIXED_ADDITIONAL_LENGTH]);
      if (valid <= FIXED_ASCQ) return std::nullopt;
      return Decoded{static_cast<uint8_t>(sense[FIXED_KEY] & SENSE_KEY_MASK), sense[FIXED_ASC],
                     sense[FIXED_ASCQ]};
    }
    case DESCRIPTOR_CURRENT:
    case DESCRIPTOR_DEFERRED:
      if (sense.size() <= DESCRIPTOR_ASCQ) return std::nullopt;
      return Decoded{static_cast<uint8_t>(sense[DESCRIPTOR_KEY] & SENSE_KEY_MASK),
                     sense[DESCRIPTOR_ASC], sense[DESCRIPTOR_ASCQ]};
    default: return std::nullopt;
  }
}

}  // namespace

std::string SenseText(std::span<const uint8_t> sense) {
  if (sense.empty()) return {};
  const std::optional<Decoded> decoded = Decode(sense);
  if (!decoded) return "SCSI sense " + HexText(sense, " ");
  std::array<char, 48> text{};
  std::snprintf(text.data(), text.size(), "SCSI sense key %X, ASC %02Xh, ASCQ %02Xh", decoded->key,
                decoded->asc, decoded->ascq);
  return text.data();
}

std::string SenseHex(std::span<const uint8_t> sense) { return HexText(sense); }

}  // namespace pelox
