#include "app/session/device_choice.h"

#include "link/camera_link.h"
#include "platform/serial_map.h"
#include "platform/sg.h"

namespace pelox {

void ChooseDevices(const UploaderOptions& options) {
  for (size_t index = 0; index < SERIAL_PORTS_MAX; ++index) {
    const auto port = static_cast<int32_t>(index) + PORT_TYPE_COM_FIRST;
    // An empty path leaves the port without a device: it is never opened.
    SerialMapDevice(port, index < options.ports.size() ? options.ports[index] : "");
  }
  SgUseOnlyDevice(options.device);
}

}  // namespace pelox
