#pragma once
// Simulated serial lines behind the platform's serial functions, in virtual
// time: a test attaches a camera's serial face to COM n (other ports fail to
// open); bytes travel at the line speed, 10 bits a byte, both ways; reads
// wait in virtual time for what arrives by their deadline.
#include <cstdint>

#include "sim/camera/serial_face.h"

namespace pelox::sim {

void SerialLineAttach(int32_t port, SerialFace& camera);
void SerialLineDetach(int32_t port);
// Detaches every camera and forgets every open device.
void SerialLineReset();
// The speed the host's device is set to (0 when the port is not open).
uint32_t SerialLineHostBaud(int32_t port);

}  // namespace pelox::sim
