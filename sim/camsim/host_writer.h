#pragma once
// The camera's bytes to the host through the pseudo-terminal, bounded in
// time: a host that stops reading fills the line, and camsim must still
// end when it is told to.
#include <csignal>
#include <span>
#include <string>

#include "platform/pseudo_terminal.h"

namespace pelox::sim {

// How long the host may take none of the camera's bytes.
inline constexpr int32_t LONGEST_STALL_MS = 10000;

enum class HostWrite { WRITTEN, STOPPED, STALLED, FAILED };

HostWrite WriteToHost(PseudoTerminal& pty, std::span<const uint8_t> bytes,
                      const volatile std::sig_atomic_t& stop_requested);

// What camsim says for an outcome other than WRITTEN or STOPPED.
std::string HostWriteProblem(HostWrite outcome);

}  // namespace pelox::sim
