#pragma once
// Which system the program runs on, to choose the storage pipe's variant.
#include <cstdint>

namespace pelox {

// Windows' own platform ids, and ours for Linux.
inline constexpr uint32_t OS_PLATFORM_WINDOWS_9X = 1;
inline constexpr uint32_t OS_PLATFORM_WINDOWS_NT = 2;
inline constexpr uint32_t OS_PLATFORM_LINUX = 0x100;

struct OsVersion {
  uint32_t platform_id = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
};

// False when the system does not tell.
bool OsVersionQuery(OsVersion& version);

}  // namespace pelox
