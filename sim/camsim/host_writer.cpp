#include "sim/camsim/host_writer.h"

#include <chrono>
#include <optional>

namespace pelox::sim {
namespace {

// A stop request is looked at least this often while the host is not reading.
constexpr int32_t WAIT_SLICE_MS = 200;

}  // namespace

HostWrite WriteToHost(PseudoTerminal& pty, std::span<const uint8_t> bytes,
                      const volatile std::sig_atomic_t& stop_requested) {
  auto last_taken = std::chrono::steady_clock::now();
  while (!bytes.empty()) {
    if (stop_requested != 0) return HostWrite::STOPPED;
    const std::optional<size_t> count = pty.Write(bytes, WAIT_SLICE_MS);
    if (!count) return HostWrite::FAILED;
    const auto now = std::chrono::steady_clock::now();
    if (*count > 0) {
      last_taken = now;
      bytes = bytes.subspan(*count);
    } else if (now - last_taken >= std::chrono::milliseconds(LONGEST_STALL_MS)) {
      return HostWrite::STALLED;
    }
  }
  return HostWrite::WRITTEN;
}

std::string HostWriteProblem(HostWrite outcome) {
  if (outcome != HostWrite::STALLED) return "writing to the pseudo-terminal failed";
  return "the host read none of the camera's bytes for " + std::to_string(LONGEST_STALL_MS / 1000) +
         " s: ending";
}

}  // namespace pelox::sim
