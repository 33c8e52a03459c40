#include "sim/storage/os_version.h"

namespace pelox {
namespace sim {
namespace {

constexpr OsVersion LINUX{OS_PLATFORM_LINUX, 6, 1};

std::optional<OsVersion> reported = LINUX;

}  // namespace

void SimOsVersionSet(std::optional<OsVersion> version) { reported = version; }
void SimOsVersionReset() { reported = LINUX; }

}  // namespace sim

bool OsVersionQuery(OsVersion& version) {
  if (!sim::reported) return false;
  version = *sim::reported;
  return true;
}

}  // namespace pelox
