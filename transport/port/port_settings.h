#pragma once
// The serial settings block the port layer last gave the open COM port,
// shaped after the Win32 device-control block: the library's own business.
#include "platform/serial.h"

namespace pelox {

// Belongs to the thread whose link holds the serial port.
const CommSettings& PortCommSettings();

}  // namespace pelox
