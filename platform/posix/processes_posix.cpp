// The companion software runs on Windows only: here there is nothing to end.
#include "platform/processes.h"

namespace pelox {

std::vector<ProcessEntry> ProcessSnapshot() { return {}; }

void ProcessTerminate(uint32_t /*process_id*/, uint32_t /*exit_code*/) {}

bool RegistryReadMachineStrings(const char* /*key*/, std::span<const char* const> /*names*/,
                                std::span<std::string> /*values*/) {
  return false;
}

bool WindowPostClose(const char* /*window_class*/, const char* /*title*/) { return false; }

}  // namespace pelox
