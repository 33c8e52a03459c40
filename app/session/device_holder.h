#pragma once
// Which program holds a device, for the message that says a port is in use:
// its lock (/proc/locks), a UUCP lock file, else any program that has it open.
#include <string>

namespace pelox {

// "NAME (process PID)" of a program that holds `device` (by any path to it)
// locked or open; empty when none can be seen (another user's process whose
// descriptors this user may not read, and no lock file).
std::string DeviceHolder(const std::string& device);

}  // namespace pelox
