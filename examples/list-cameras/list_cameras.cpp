// Lists the cameras on USB, then on the serial devices given, with their
// firmware versions.   list-cameras [SERIAL-DEVICE...]
#include <pelox/pelox.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

using namespace pelox;

constexpr int32_t SPEED_115200 = 5;  // index into SPEED_TABLE

// USB again after a camera answered there (each link keeps its camera, so
// the next link opens another one), then COM1 onwards.
int32_t NextPort(int32_t port, bool answered, int32_t serial_count) {
  if (port == PORT_TYPE_STORAGE && answered) return port;
  const int32_t next = port == PORT_TYPE_STORAGE ? PORT_TYPE_COM_FIRST : port + 1;
  return next <= serial_count ? next : PORT_TYPE_NONE;
}

int main(int argc, char** argv) {
  StorageTransportInit(STORAGE_INIT_REQUEST);
  const int32_t serial_count = std::min(argc - 1, PORT_TYPE_COM_LAST);
  for (int32_t com = 1; com <= serial_count; ++com) SerialMapDevice(com, argv[com]);
  int found = 0;
  for (int32_t port = PORT_TYPE_STORAGE; port != PORT_TYPE_NONE;) {
    CameraLink* link = LinkCreate();
    if (link == nullptr) break;
    const char* name = port == PORT_TYPE_STORAGE ? "USB" : argv[port];
    std::array<char, CAMERA_TEXT_SIZE + 1> version{};
    int32_t port_type = PORT_TYPE_NONE;
    int32_t code = LinkSetSpeed(SPEED_115200, link);
    if (code == LINK_OK) code = LinkOpenPortChecked(port, port_type, link);
    if (code == LINK_OK) code = LinkConnect(LINK_CONNECT, link);
    if (code == LINK_OK) {
      code = CameraGetFirmwareVersion(std::span(version).first<CAMERA_TEXT_SIZE>(), link);
    }
    const bool answered = code == LINK_OK;
    if (answered) {
      std::printf("%s: %s\n", name, version.data());
      ++found;
    } else if (code != LINK_ERROR_NO_PORT) {  // no camera there is no failure
      const std::string_view text = LinkErrorText(code);
      std::fprintf(stderr, "%s: %.*s\n", name, static_cast<int>(text.size()), text.data());
    }
    // A serial camera goes back to the opening speed, where the next program
    // looks for it first; a USB link keeps its camera until the end.
    if (port != PORT_TYPE_STORAGE) LinkConnect(LINK_DISCONNECT, link);
    port = NextPort(port, answered, serial_count);
  }
  LinkDestroyAll();
  return found > 0 ? 0 : 1;
}
