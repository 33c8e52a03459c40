#pragma once
// Which program holds a device open, for the message that says a port is in
// use: found through /proc/*/fd, else through a UUCP lock file.
#include <string>

namespace pelox {

// "NAME (process PID)" of a program that holds `device` (by any path to it)
// open or locked; empty when none can be seen (another user's process whose
// descriptors this user may not read, and no lock file).
std::string DeviceHolder(const std::string& device);

}  // namespace pelox
