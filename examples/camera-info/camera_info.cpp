// Reads a camera's maker, firmware version and battery level through the
// installed pelox library. The camera is looked for on the USB storage pipe,
// then on the serial device given (as COM1).
//   camera-info [SERIAL-DEVICE]
#include <pelox/commands/firmware_commands.h>
#include <pelox/link/camera_link.h>
#include <pelox/link/error_text.h>
#include <pelox/platform/serial_map.h>
#include <pelox/transport/storage/storage_init.h>

#include <array>
#include <cstdio>
#include <span>
#include <string_view>

namespace {

constexpr int32_t SPEED_115200 = 5;  // index into the link's speed table

// Every code other than LINK_OK is a failure, told with its text.
int Fail(const char* what, int32_t code) {
  const std::string_view text = pelox::LinkErrorText(code);
  std::fprintf(stderr, "camera-info: %s failed: %.*s (link error %d)\n", what,
               static_cast<int>(text.size()), text.data(), static_cast<int>(code));
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
  if (link == nullptr) return Fail("creating the link", pelox::LINK_ERROR_NO_LINK);
  int32_t code = pelox::LinkSetSpeed(SPEED_115200, link);
  if (code != pelox::LINK_OK) return Fail("setting the speed", code);
  int32_t port_type = pelox::PORT_TYPE_NONE;
  code = pelox::LinkOpenPortChecked(pelox::LINK_PORT_AUTOMATIC, port_type, link);
  if (code != pelox::LINK_OK) return Fail("finding a camera", code);
  code = pelox::LinkConnect(pelox::LINK_CONNECT, link);
  if (code != pelox::LINK_OK) return Fail("connecting", code);

  std::array<char, pelox::CAMERA_TEXT_SIZE + 1> maker{};
  std::array<char, pelox::CAMERA_TEXT_SIZE + 1> version{};
  code = pelox::CameraGetVendor(std::span(maker).first<pelox::CAMERA_TEXT_SIZE>(), link);
  if (code != pelox::LINK_OK) return Fail("reading the maker", code);
  code = pelox::CameraGetFirmwareVersion(std::span(version).first<pelox::CAMERA_TEXT_SIZE>(), link);
  if (code != pelox::LINK_OK) return Fail("reading the firmware version", code);
  uint32_t battery = 0;
  code = pelox::CameraGetBatteryLevelChecked(battery, link);
  if (code != pelox::LINK_OK) return Fail("reading the battery level", code);

  std::printf("maker: %s\nfirmware version: %s\nbattery: %u%%\n", maker.data(), version.data(),
              static_cast<unsigned>(battery));
  code = pelox::LinkConnect(pelox::LINK_DISCONNECT, link);
  if (code != pelox::LINK_OK) return Fail("disconnecting", code);
  pelox::LinkDestroyAll();
  return 0;
}
