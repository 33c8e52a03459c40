#pragma once
// The system the simulated platform reports itself as.
#include <optional>

#include "platform/os_version.h"

namespace pelox::sim {

// Nothing: the query fails. Linux after a reset.
void SimOsVersionSet(std::optional<OsVersion> version);
void SimOsVersionReset();

}  // namespace pelox::sim
