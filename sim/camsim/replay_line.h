#pragma once
// camsim --replay: a serial recording's camera side on the pseudo-terminal,
// in real time. The verdict goes where the statement on the image would.
#include <csignal>
#include <string>

#include "platform/pseudo_terminal.h"
#include "sim/camsim/camsim_options.h"

namespace pelox::sim {

// 0 when the host sent what was recorded, 1 when it did not (the report
// says where), 2 when the recording cannot be played here. The path of the
// pseudo-terminal is printed first, as camsim does.
int ServeReplay(const CamsimOptions& options, PseudoTerminal& pty,
                const volatile std::sig_atomic_t& stop_requested, std::string& report);

}  // namespace pelox::sim
