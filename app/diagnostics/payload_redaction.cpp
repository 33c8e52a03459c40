#include "app/diagnostics/payload_redaction.h"

#include <algorithm>
#include <array>

namespace pelox {
namespace {

// Bytes that must agree before a run counts: fewer would match a frame's
// own header by chance.
constexpr size_t PROBE_SIZE = 16;

}  // namespace

std::optional<PayloadRun> PayloadRedaction::Find(std::span<const uint8_t> sent) {
  for (const size_t offset : std::array{next_, last_, size_t{0}}) {
    if (const std::optional<PayloadRun> run = FindFrom(sent, offset)) {
      last_ = run->offset;
      next_ = run->offset + run->size;
      return run;
    }
  }
  return std::nullopt;
}

std::optional<PayloadRun> PayloadRedaction::FindFrom(std::span<const uint8_t> sent,
                                                     size_t offset) const {
  if (offset >= payload_.size()) return std::nullopt;
  const std::span<const uint8_t> rest = payload_.subspan(offset);
  const std::span<const uint8_t> probe = rest.first(std::min(PROBE_SIZE, rest.size()));
  const auto found = std::search(sent.begin(), sent.end(), probe.begin(), probe.end());
  if (found == sent.end()) return std::nullopt;
  const auto at = static_cast<size_t>(found - sent.begin());
  const std::span<const uint8_t> tail = sent.subspan(at);
  const auto ends = std::mismatch(tail.begin(), tail.end(), rest.begin(), rest.end());
  return PayloadRun{at, offset, static_cast<size_t>(ends.first - tail.begin())};
}

}  // namespace pelox
