#include <windows.h>

#include "platform/os_version.h"

namespace pelox {

static_assert(sizeof(OSVERSIONINFOA) == 148);
static_assert(OS_PLATFORM_WINDOWS_9X == VER_PLATFORM_WIN32_WINDOWS);
static_assert(OS_PLATFORM_WINDOWS_NT == VER_PLATFORM_WIN32_NT);

bool OsVersionQuery(OsVersion& version) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (GetVersionExA(&info) == 0) return false;
  version = {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
  return true;
}

}  // namespace pelox
