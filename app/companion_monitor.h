#pragma once
// Ends the maker's companion viewer software before the camera is opened,
// since its monitor would hold the camera. Neither operation reports a
// result: the update goes on whatever they did.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/processes.h"

namespace pelox {

// The processes to end, in the order to end them: the last monitor of the
// snapshot, then the last viewer.
std::vector<uint32_t> CompanionProcessesToEnd(std::span<const ProcessEntry> processes);

void TerminateMonitorProcesses();
void CloseMonitorWindow();

}  // namespace pelox
