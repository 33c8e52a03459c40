#pragma once
// Bytes spelt as hex digits for people and logs: one helper, so that traces,
// recordings, sense texts and the virtual camera's log write them alike.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

namespace pelox {

enum class HexDigits : uint8_t { UPPER, LOWER };

// Two digits a byte, `separator` between bytes; past the first `most` bytes,
// " ..." stands for the rest.
inline std::string HexText(std::span<const uint8_t> bytes, std::string_view separator = {},
                           size_t most = std::numeric_limits<size_t>::max(),
                           HexDigits digits = HexDigits::UPPER) {
  constexpr uint8_t LOW_NIBBLE = 0x0F;
  constexpr int NIBBLE_BITS = 4;
  const std::string_view set = digits == HexDigits::UPPER ? "0123456789ABCDEF" : "0123456789abcdef";
  const size_t shown = std::min(bytes.size(), most);
  std::string text;
  text.reserve(shown * (2 + separator.size()));
  for (size_t i = 0; i < shown; ++i) {
    if (i > 0) text += separator;
    text += set[bytes[i] >> NIBBLE_BITS];
    text += set[bytes[i] & LOW_NIBBLE];
  }
  if (shown < bytes.size()) text += " ...";
  return text;
}

}  // namespace pelox
