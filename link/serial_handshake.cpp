#include "link/serial_handshake.h"

#include <array>

#include "link/packet.h"
#include "link/packet_io.h"
#include "transport/port/port.h"

namespace pelox {

bool SerialHandshake(CameraLink* link) {
  link->retry_count = 0;
  // A camera that echoes the probe is still waking up: give it a second read.
  bool answered_probe = true;
  while (link->retry_count < HANDSHAKE_ROUNDS) {
    const std::array<uint8_t, 1> probe{CONTROL_PROBE};
    PortWrite(link, probe);
    const int32_t answer = ReadControlByte(answered_probe ? 2 : 1, link);
    if (answer == CONTROL_NAK) return true;
    answered_probe = answer == CONTROL_PROBE;
    DrainInput(link);
    ++link->retry_count;
  }
  return false;
}

}  // namespace pelox
