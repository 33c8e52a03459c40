#include "tests/app/fake_companion_system.h"

namespace pelox {

namespace test {
FakeCompanionSystem& Companion() {
  static FakeCompanionSystem system;
  return system;
}
}  // namespace test

std::vector<ProcessEntry> ProcessSnapshot() { return test::Companion().processes; }

void ProcessTerminate(uint32_t process_id, uint32_t /*exit_code*/) {
  test::Companion().terminated.push_back(process_id);
}

bool RegistryReadMachineStrings(const char* /*key*/, std::span<const char* const> names,
                                std::span<std::string> values) {
  const auto& stored = test::Companion().monitor_key_values;
  if (stored.empty()) return false;
  for (size_t i = 0; i < names.size(); ++i) {
    const auto found = stored.find(names[i]);
    if (found == stored.end()) return false;
    values[i] = found->second;
  }
  return true;
}

bool WindowPostClose(const char* window_class, const char* title) {
  test::Companion().close_requests.push_back(std::string(window_class) + "|" + title);
  return true;
}

}  // namespace pelox
