#pragma once
// A companion system for tests: the processes, registry values and windows
// that platform/processes.h reports, and what was done to them.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace pelox::test {

struct FakeCompanionSystem {
  std::vector<ProcessEntry> processes;
  std::map<std::string, std::string> monitor_key_values;  // absent key: empty map
  std::vector<uint32_t> terminated;
  std::vector<std::string> close_requests;  // "class|title"
};

// The one instance the backend functions use; reset by each test.
FakeCompanionSystem& Companion();

}  // namespace pelox::test
