#pragma once
// The maker's companion viewer software as the uploader meets it: running
// processes, the registry values it leaves, and its monitor window. Only
// Windows has it; elsewhere the backend finds nothing.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pelox {

struct ProcessEntry {
  uint32_t process_id = 0;
  std::string exe_name;  // a bare file name or a full path
};

// Every process of a snapshot, in snapshot order; empty when the system
// cannot take one.
std::vector<ProcessEntry> ProcessSnapshot();

// Ends a process with the exit code; one that cannot be opened is skipped.
void ProcessTerminate(uint32_t process_id, uint32_t exit_code);

// Reads string values of a key under HKEY_LOCAL_MACHINE, in order, each into
// at most 256 bytes; stops at the first value that cannot be read. True when
// all of them were read.
bool RegistryReadMachineStrings(const char* key, std::span<const char* const> names,
                                std::span<std::string> values);

// Posts a close request to the top-level window with this class and title;
// false when there is none.
bool WindowPostClose(const char* window_class, const char* title);

}  // namespace pelox
