#pragma once
/// @file
/// Which device stands behind COM n on POSIX systems. By default COM n is
/// /dev/ttyS{n-1}; a front end or a test maps a port to another device (a
/// pseudo-terminal, an adapter) or to nothing at all.
#include <cstdint>
#include <string>

#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

/// An empty path means that there is no device behind the port.
void SerialMapDevice(int32_t port, std::string path);
/// The device that opening COM `port` uses; empty when there is none.
std::string SerialDevicePath(int32_t port);
/// Why the last open of COM `port` failed, as an errno value; 0 once it
/// opened or before any try.
int SerialOpenError(int32_t port);
/// How many bytes the device behind COM `port` has sent since it was mapped:
/// a search that found no camera tells a silent device from one that talks.
uint64_t SerialHeardBytes(int32_t port);
/// Back to the default devices; for tests.
PELOX_TEST_HOOK void SerialResetDeviceMap();

}  // namespace pelox
PELOX_API_END
