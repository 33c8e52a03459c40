#include "app/desktop/image_choice.h"

#include <system_error>

namespace pelox {

std::optional<std::string> ChooseImage(const std::string& named,
                                       const std::filesystem::path& directory) {
  // A named image is used as named, even when missing: the window says so.
  if (!named.empty()) return named;
  const std::filesystem::path usual = directory / "Firmware.bin";
  std::error_code error;
  if (std::filesystem::exists(usual, error)) return usual.string();
  return std::nullopt;
}

}  // namespace pelox
