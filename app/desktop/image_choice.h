#pragma once
// Which firmware image the window starts with: the one named on the command
// line, else Firmware.bin in the current directory, else the user is asked.
#include <filesystem>
#include <optional>
#include <string>

namespace pelox {

// The image to use, or nothing when the user is to choose one; `named` is
// the command line's FILE, empty when none was given. Firmware.bin is found
// in any case, as the Windows program finds it, when exactly one name in
// `directory` matches; with two (Firmware.bin and FIRMWARE.BIN) the user
// chooses.
std::optional<std::string> ChooseImage(const std::string& named,
                                       const std::filesystem::path& directory);

}  // namespace pelox
