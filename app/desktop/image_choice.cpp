#include "app/desktop/image_choice.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "app/firmware_image.h"

namespace pelox {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, {}, LowerAscii, LowerAscii);
}

}  // namespace

std::optional<std::string> ChooseImage(const std::string& named,
                                       const std::filesystem::path& directory) {
  // A named image is used as named, even when missing: the window says so.
  if (!named.empty()) return named;
  std::optional<std::string> found;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
       entry.increment(error)) {
    if (!SameIgnoringCase(entry->path().filename().string(), FIRMWARE_FILE_NAME)) continue;
    if (found) return std::nullopt;
    found = entry->path().string();
  }
  return found;
}

}  // namespace pelox
