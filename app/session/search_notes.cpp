#include "app/session/search_notes.h"

#include <grp.h>
#include <sys/stat.h>

#include <array>

#include "link/camera_link.h"
#include "platform/serial_map.h"
#include "transport/discovery/device_table.h"

namespace pelox {
namespace {

constexpr size_t GROUP_BUFFER_SIZE = 4096;

std::string OwningGroup(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return {};
  group entry{};
  group* found = nullptr;
  std::array<char, GROUP_BUFFER_SIZE> buffer{};
  if (getgrgid_r(status.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr) {
    return {};
  }
  return entry.gr_name;
}

}  // namespace

SearchNotes SearchNotesOf(const UploaderOptions& options) {
  SearchNotes notes;
  for (size_t i = 0; i < options.ports.size(); ++i) {
    const auto port = static_cast<int32_t>(i) + PORT_TYPE_COM_FIRST;
    notes.ports.push_back({options.ports[i], SerialOpenError(port), OwningGroup(options.ports[i]),
                           SerialHeardBytes(port)});
  }
  notes.device = options.device;
  notes.denied_devices = DiscoveryDeniedCount();
  notes.first_denied = DiscoveryFirstDenied();
  return notes;
}

}  // namespace pelox
