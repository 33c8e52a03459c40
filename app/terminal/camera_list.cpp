#include "app/terminal/camera_list.h"

#include <array>

#include "app/camera_checks.h"
#include "commands/firmware_commands.h"
#include "link/camera_link.h"
#include "link/link_info.h"
#include "link/speed_table.h"
#include "platform/serial_map.h"
#include "transport/discovery/device_table.h"
#include "transport/storage/storage_init.h"

namespace pelox {
namespace {

void Disconnect(CameraLink* link) {
  LinkConnect(LINK_DISCONNECT, link);
  LinkDelete(link);
}

// A link connected to the camera on `port`; null when none answers there.
CameraLink* Connected(int32_t port, const std::atomic<int>& stop) {
  CameraLink* link = LinkCreate();
  if (link == nullptr) return nullptr;
  LinkSetStopFlag(&stop, link);
  int32_t found = PORT_TYPE_NONE;
  if (LinkSetSpeed(SPEED_INDEX_USUAL, link) != LINK_OK ||
      LinkOpenPortChecked(port, found, link) != LINK_OK) {
    LinkDelete(link);
    return nullptr;
  }
  // A failed handshake leaves the port open: it is closed, its settings given back.
  if (LinkConnect(LINK_CONNECT, link) != LINK_OK) {
    Disconnect(link);
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

}  // namespace

std::vector<ListedCamera> ListCameras(int32_t serial_ports, const std::atomic<int>& stop) {
  StorageTransportInit(STORAGE_INIT_REQUEST);
  LinkDestroyAll();
  std::vector<ListedCamera> cameras;
  // Each connected link holds its camera, so the next one claims another.
  std::vector<CameraLink*> held;
  while (held.size() < static_cast<size_t>(DEVICE_TABLE_CAPACITY) && stop.load() == 0) {
    CameraLink* link = Connected(PORT_TYPE_STORAGE, stop);
    if (link == nullptr) break;
    const CameraDevice* device = DeviceTableEntry(LinkDeviceIndex(link));
    cameras.push_back(Describe(device != nullptr ? device->path : "storage pipe", link));
    held.push_back(link);
  }
  for (CameraLink* link : held) Disconnect(link);
  for (int32_t port = PORT_TYPE_COM_FIRST;
       port < PORT_TYPE_COM_FIRST + serial_ports && stop.load() == 0; ++port) {
    if (CameraLink* link = Connected(port, stop)) {
      cameras.push_back(Describe(SerialDevicePath(port), link));
      Disconnect(link);
    }
  }
  return cameras;
}

}  // namespace pelox
