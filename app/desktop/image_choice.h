#pragma once
// Which firmware image the window starts with: the one named on the command
// line, else Firmware.bin in the current directory, else the user is asked.
#include <filesystem>
#include <optional>
#include <string>

namespace pelox {

// The image to use, or nothing when the user is to choose one; `named` is
// the command line's FILE, empty when none was given.
std::optional<std::string> ChooseImage(const std::string& named,
                                       const std::filesystem::path& directory);

// The file chooser's filters, firmware images first.
inline constexpr const char* IMAGE_FILTERS = "Firmware images (*.bin);;All files (*)";

}  // namespace pelox
