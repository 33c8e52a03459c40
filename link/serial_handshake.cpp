#include "link/serial_handshake.h"

#include <array>

#include "link/link_record.h"
#include "link/packet.h"
#include "link/packet_io.h"
#include "link/packet_io_internal.h"
#include "link/speed_table.h"
#include "platform/clock.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

// A camera at another speed is awake and answers at once.
constexpr uint32_t OTHER_SPEED_ANSWER_MS = 500;
constexpr int32_t PORT_OK = 1;

void SendProbe(CameraLink* link) {
  const std::array<uint8_t, 1> probe{CONTROL_PROBE};
  PortWrite(link, probe);
}

bool HandshakeAtOpeningSpeed(CameraLink* link) {
  link->retry_count = 0;
  // A camera that echoes the probe is still waking up: give it a second read.
  bool answered_probe = true;
  while (link->retry_count < HANDSHAKE_ROUNDS && TimeForAReply(link)) {
    SendProbe(link);
    const int32_t answer = ReadControlByte(answered_probe ? 2 : 1, link);
    if (answer == CONTROL_NAK) return true;
    answered_probe = answer == CONTROL_PROBE;
    DrainInput(link);
    ++link->retry_count;
  }
  return false;
}

// A camera left at a transfer speed by a host that died mid-transfer does not
// hear the probe at the opening speed: one probe at each other speed of the
// table finds it, and the port stays at the speed it answered at.
bool HandshakeAtOtherSpeeds(CameraLink* link) {
  for (int32_t index = SPEED_INDEX_FIRST; index <= SPEED_INDEX_LAST; ++index) {
    const uint32_t baud = SpeedTableBaud(index);
    if (baud == SERIAL_OPEN_BAUD) continue;
    if (!TimeForAReply(link)) break;
    if (PortSetBaud(link->port_type, baud, link->com_handle) != PORT_OK) break;
    SendProbe(link);
    if (ReadControlByteBefore(ClockTickCount() + OTHER_SPEED_ANSWER_MS, link) == CONTROL_NAK) {
      return true;
    }
    DrainInput(link);
  }
  PortSetBaud(link->port_type, SERIAL_OPEN_BAUD, link->com_handle);
  return false;
}

}  // namespace

bool SerialHandshake(CameraLink* link) {
  if (link == nullptr) return false;
  return HandshakeAtOpeningSpeed(link) || HandshakeAtOtherSpeeds(link);
}

}  // namespace pelox
