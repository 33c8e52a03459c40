// Reads a camera's maker, firmware version and battery level through the
// installed pelox library. The camera is looked for on the USB storage pipe,
// then on the serial device given (as COM1).
//   camera-info [SERIAL-DEVICE]
#include <pelox/commands/firmware_commands.h>
#include <pelox/link/camera_link.h>
#include <pelox/platform/serial_map.h>
#include <pelox/transport/storage/storage_ops.h>

#include <array>
#include <cstdio>

namespace {

constexpr int32_t SPEED_115200 = 5;  // index into the link's speed table

int Fail(const char* what, pelox::CameraLink* link) {
  std::fprintf(stderr, "camera-info: %s failed (link error %d)\n", what,
               static_cast<int>(link != nullptr ? pelox::LinkLastError(link) : -1));
  pelox::LinkDestroyAll();
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Only the device given is probed: nothing else stands behind COM1 or COM2.
  pelox::SerialMapDevice(pelox::PORT_TYPE_COM_FIRST, argc > 1 ? argv[1] : "");
  pelox::SerialMapDevice(pelox::PORT_TYPE_COM_FIRST + 1, "");
  pelox::StorageTransportInit(pelox::STORAGE_INIT_REQUEST);

  pelox::CameraLink* link = pelox::LinkCreate();
  if (link == nullptr) return Fail("creating the link", link);
  if (pelox::LinkSetSpeed(SPEED_115200, link) != pelox::LINK_OK)
    return Fail("setting the speed", link);
  if (pelox::LinkOpenPort(pelox::LINK_PORT_AUTOMATIC, link) == pelox::LINK_PORT_NOT_FOUND)
    return Fail("finding a camera", link);
  if (pelox::LinkConnect(pelox::LINK_CONNECT, link) != pelox::LINK_OK)
    return Fail("connecting", link);

  std::array<char, pelox::CAMERA_TEXT_SIZE + 1> maker{};
  std::array<char, pelox::CAMERA_TEXT_SIZE + 1> version{};
  if (pelox::CameraGetVendor(
          std::span<char, pelox::CAMERA_TEXT_SIZE>(maker.data(), pelox::CAMERA_TEXT_SIZE), link) !=
      pelox::LINK_OK) {
    return Fail("reading the maker", link);
  }
  if (pelox::CameraGetFirmwareVersion(
          std::span<char, pelox::CAMERA_TEXT_SIZE>(version.data(), pelox::CAMERA_TEXT_SIZE),
          link) != pelox::LINK_OK) {
    return Fail("reading the firmware version", link);
  }
  const int32_t battery = pelox::CameraGetBatteryLevel(link);
  if (battery < 0) return Fail("reading the battery level", link);

  std::printf("maker: %s\nfirmware version: %s\nbattery: %d%%\n", maker.data(), version.data(),
              static_cast<int>(battery));
  pelox::LinkConnect(pelox::LINK_DISCONNECT, link);
  pelox::LinkDestroyAll();
  return 0;
}
