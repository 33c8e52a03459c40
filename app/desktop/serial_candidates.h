#pragma once
// The serial devices a user may pick when no camera answers on the storage
// pipe: adapters by their stable names first, then the USB serial nodes.
// Listing opens none of them.
#include <filesystem>
#include <string>
#include <vector>

namespace pelox {

// Under `dev` (normally /dev): serial/by-id/*, ttyUSB*, ttyACM*, each group
// sorted by name.
std::vector<std::string> SerialCandidates(const std::filesystem::path& dev);

}  // namespace pelox
