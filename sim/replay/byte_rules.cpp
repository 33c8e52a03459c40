#include "sim/replay/byte_rules.h"

#include "sim/camera/wire.h"
#include "transport/byte_order.h"
#include "transport/hex_text.h"

namespace pelox::sim {
namespace {

constexpr size_t BYTES_SHOWN = 16;
constexpr size_t SEQUENCE_OFFSET = 1;
constexpr size_t LENGTH_OFFSET = 2;
constexpr size_t CHECKSUM_SIZE = 2;

bool IsDataFrame(std::span<const uint8_t> frame) {
  if (frame.size() < FRAME_OVERHEAD) return false;
  if (frame[0] != FRAME_DATA_MORE && frame[0] != FRAME_DATA_LAST) return false;
  return LoadLe16(frame.subspan(LENGTH_OFFSET).first<2>()) == frame.size() - FRAME_OVERHEAD;
}

}  // namespace

std::vector<ByteRule> RulesOf(const RecordedEvent& unit, size_t frame_at) {
  std::vector<ByteRule> rules(unit.bytes.size(), ByteRule::EXACT);
  if (unit.left_out) {
    std::fill_n(rules.begin() + static_cast<std::ptrdiff_t>(unit.left_out->at), unit.left_out->size,
                ByteRule::PAYLOAD);
  }
  if (frame_at >= unit.bytes.size()) return rules;
  if (!IsDataFrame(std::span(unit.bytes).subspan(frame_at))) return rules;
  rules[frame_at + SEQUENCE_OFFSET] = ByteRule::SEQUENCE;
  if (unit.left_out) std::fill_n(rules.end() - CHECKSUM_SIZE, CHECKSUM_SIZE, ByteRule::PAYLOAD_SUM);
  return rules;
}

bool ByteMatcher::Accepts(uint8_t expected, uint8_t got, ByteRule rule) {
  switch (rule) {
    case ByteRule::PAYLOAD: return true;
    case ByteRule::PAYLOAD_SUM: return tolerance_.payload || expected == got;
    case ByteRule::SEQUENCE:
      if (!tolerance_.sequence_start) return expected == got;
      if (!sequence_shift_) sequence_shift_ = static_cast<uint8_t>(got - expected);
      return got == static_cast<uint8_t>(expected + *sequence_shift_);
    case ByteRule::EXACT: break;
  }
  return expected == got;
}

std::string HexFrom(std::span<const uint8_t> bytes, size_t from) {
  if (from >= bytes.size()) return "end";
  return HexText(bytes.subspan(from), " ", BYTES_SHOWN, HexDigits::LOWER);
}

}  // namespace pelox::sim
