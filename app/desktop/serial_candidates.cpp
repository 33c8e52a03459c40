#include "app/desktop/serial_candidates.h"

#include <algorithm>
#include <string_view>
#include <system_error>

namespace pelox {
namespace {

std::vector<std::string> Entries(const std::filesystem::path& folder, std::string_view prefix) {
  std::vector<std::string> found;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    if (it->path().filename().string().starts_with(prefix)) found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

std::vector<std::string> SerialCandidates(const std::filesystem::path& dev) {
  std::vector<std::string> candidates = Entries(dev / "serial" / "by-id", "");
  for (const std::string_view prefix : {"ttyUSB", "ttyACM"}) {
    std::vector<std::string> group = Entries(dev, prefix);
    candidates.insert(candidates.end(), group.begin(), group.end());
  }
  return candidates;
}

}  // namespace pelox
