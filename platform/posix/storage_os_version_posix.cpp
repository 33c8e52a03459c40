#include <sys/utsname.h>

#include <cstdio>

#include "platform/os_version.h"

namespace pelox {

bool OsVersionQuery(OsVersion& version) {
#ifdef __linux__
  utsname name{};
  if (uname(&name) != 0) return false;
  unsigned major = 0;
  unsigned minor = 0;
  if (std::sscanf(name.release, "%u.%u", &major, &minor) != 2) major = minor = 0;
  version = {OS_PLATFORM_LINUX, major, minor};
  return true;
#else
  (void)version;
  return false;  // no storage pipe on other systems
#endif
}

}  // namespace pelox
