#include "app/terminal/camera_list.h"

#include <array>

#include "app/camera_checks.h"
#include "commands/firmware_commands.h"
#include "link/camera_link.h"
#include "platform/serial_map.h"
#include "transport/discovery/device_table.h"
#include "transport/storage/storage_ops.h"

namespace pelox {
namespace {

constexpr int32_t LIST_SPEED_INDEX = 5;

// A link connected to the camera on `port`; null when none answers there.
CameraLink* Connected(int32_t port) {
  CameraLink* link = LinkCreate();
  if (link == nullptr) return nullptr;
  if (LinkSetSpeed(LIST_SPEED_INDEX, link) != LINK_OK || LinkOpenPort(port, link) != port ||
      LinkConnect(LINK_CONNECT, link) != LINK_OK) {
    LinkDelete(link);
    return nullptr;
  }
  return link;
}

ListedCamera Describe(std::string port, CameraLink* link) {
  std::array<char, CAMERA_TEXT_SIZE> maker{};
  std::array<char, CAMERA_TEXT_SIZE> version{};
  ListedCamera camera;
  camera.port = std::move(port);
  if (CameraGetVendor(maker, link) == LINK_OK) camera.maker = BufferText(maker);
  if (CameraGetFirmwareVersion(version, link) == LINK_OK) camera.version = BufferText(version);
  camera.battery = CameraGetBatteryLevel(link);
  return camera;
}

void Disconnect(CameraLink* link) {
  LinkConnect(LINK_DISCONNECT, link);
  LinkDelete(link);
}

}  // namespace

std::vector<ListedCamera> ListCameras(int32_t serial_ports) {
  StorageTransportInit(STORAGE_INIT_REQUEST);
  LinkDestroyAll();
  std::vector<ListedCamera> cameras;
  // Each connected link holds its camera, so the next one claims another.
  std::vector<CameraLink*> held;
  while (held.size() < static_cast<size_t>(DEVICE_TABLE_CAPACITY)) {
    CameraLink* link = Connected(PORT_TYPE_STORAGE);
    if (link == nullptr) break;
    const CameraDevice* device = DeviceTableEntry(link->device_index);
    cameras.push_back(Describe(device != nullptr ? device->path : "storage pipe", link));
    held.push_back(link);
  }
  for (CameraLink* link : held) Disconnect(link);
  for (int32_t port = PORT_TYPE_COM_FIRST; port < PORT_TYPE_COM_FIRST + serial_ports; ++port) {
    if (CameraLink* link = Connected(port)) {
      cameras.push_back(Describe(SerialDevicePath(port), link));
      Disconnect(link);
    }
  }
  return cameras;
}

}  // namespace pelox
