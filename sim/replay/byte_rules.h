#pragma once
// How a replay compares the bytes a host sends with the recorded ones: most
// must be equal; some legitimately vary between runs when the replay is told
// to tolerate it (where data frames' sequence numbers start, an image
// payload that was not recorded, and that payload's checksum).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/replay/recording.h"

namespace pelox::sim {

struct ReplayTolerance {
  bool sequence_start = false;
  bool payload = false;
};

enum class ByteRule : uint8_t {
  EXACT,
  PAYLOAD,      // left out of the recording: anything goes
  PAYLOAD_SUM,  // the checksum of a frame whose payload was left out
  SEQUENCE,     // a data frame's sequence number
};

// The rule of each byte of a recorded unit whose frame starts at `frame_at`.
std::vector<ByteRule> RulesOf(const RecordedEvent& unit, size_t frame_at);

class ByteMatcher {
 public:
  explicit ByteMatcher(ReplayTolerance tolerance) : tolerance_(tolerance) {}
  // Whether `got` stands for `expected`; the first sequence number sets the
  // shift that every later one must keep.
  bool Accepts(uint8_t expected, uint8_t got, ByteRule rule);

 private:
  ReplayTolerance tolerance_;
  std::optional<uint8_t> sequence_shift_;
};

// Up to 16 bytes from `from`, as hex, "end" when there are none.
std::string HexFrom(std::span<const uint8_t> bytes, size_t from);

}  // namespace pelox::sim
