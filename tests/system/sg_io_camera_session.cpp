// A camera session on the real Linux platform: the storage pipe chosen for
// this system, discovery, connect, queries and a 2 MiB firmware write. Run
// under umockdev_camera, it drives the SG_IO code path end to end.
#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "link/camera_link.h"
#include "link/error_text.h"
#include "transport/discovery/device_table.h"
#include "transport/port/port.h"
#include "transport/storage/storage_init.h"

namespace pelox {
namespace {

constexpr uint8_t PROPERTY_BATTERY = 16;
constexpr uint8_t PROPERTY_UPLOAD_KEY = 32;
constexpr uint32_t UPLOAD_KEY = 0x05A3C7D1;
constexpr uint8_t KIND_MAKER = 48;
constexpr uint8_t KIND_FIRMWARE = 29;
constexpr size_t FIRMWARE_SIZE = 2 * 1024 * 1024;
constexpr int32_t SPEED_INDEX = 5;

bool Check(bool ok, const char* step, CameraLink* link) {
  if (!ok) {
    const int32_t code = link != nullptr ? LinkLastError(link) : LINK_ERROR_NO_LINK;
    const std::string_view text = LinkErrorText(code);
    std::fprintf(stderr, "sg_io_camera_session: %s failed (link error %d: %.*s)\n", step, code,
                 static_cast<int>(text.size()), text.data());
  }
  return ok;
}

int Session() {
  StorageTransportInit(STORAGE_INIT_REQUEST);
  if (!Check(StorageMode() == STORAGE_MODE_SG_IO, "choosing SG_IO", nullptr)) return 1;
  CameraLink* link = LinkCreate();
  if (!Check(link != nullptr, "creating the link", link)) return 1;
  LinkSetSpeed(SPEED_INDEX, link);
  const int32_t port = LinkOpenPort(LINK_PORT_AUTOMATIC, link);
  if (!Check(port == PORT_TYPE_STORAGE, "finding the camera", link)) {
    if (DiscoveryDeniedCount() > 0) {
      std::fprintf(stderr, "  no permission to open %s\n", DiscoveryFirstDenied().c_str());
    }
    return 1;
  }
  if (!Check(LinkConnect(LINK_CONNECT, link) == LINK_OK, "connecting", link)) return 1;
  if (!Check(LinkGetValue(PROPERTY_BATTERY, false, link) == 100, "reading the battery", link)) {
    return 1;
  }
  std::array<uint8_t, 32> maker{};
  if (!Check(LinkReadBlock(KIND_MAKER, maker, link) == LINK_OK, "reading the maker", link)) {
    return 1;
  }
  const std::string maker_text(maker.begin(), std::find(maker.begin(), maker.end(), 0));
  if (!Check(maker_text == "PELOX CO.,LTD.", "checking the maker", link)) return 1;
  if (!Check(LinkSetValue(PROPERTY_UPLOAD_KEY, UPLOAD_KEY, link) == LINK_OK, "setting the key",
             link)) {
    return 1;
  }
  std::vector<uint8_t> firmware(FIRMWARE_SIZE);
  std::iota(firmware.begin(), firmware.end(), uint8_t{0x5A});
  if (!Check(LinkWriteData(KIND_FIRMWARE, firmware, link) == LINK_OK, "writing the firmware",
             link)) {
    return 1;
  }
  if (!Check(LinkConnect(LINK_DISCONNECT, link) == LINK_OK, "disconnecting", link)) return 1;
  LinkDelete(link);
  std::printf("sg_io_camera_session: connected through the SG_IO pipe, wrote %zu bytes\n",
              firmware.size());
  return 0;
}

}  // namespace
}  // namespace pelox

int main() { return pelox::Session(); }
