// Reading a link's state, and the few changes the command set makes to it.
#include "link/link_info.h"

#include <new>

#include "link/link_commands.h"
#include "link/link_record.h"

namespace pelox {

CameraLink* LinkCreateUnlisted() { return new (std::nothrow) CameraLink{}; }

int32_t LinkPortType(const CameraLink* link) {
  return link != nullptr ? link->port_type : PORT_TYPE_NONE;
}

PortState* LinkPort(CameraLink* link) { return link; }

LinkState LinkCurrentState(const CameraLink* link) {
  return link != nullptr ? static_cast<LinkState>(link->state.load()) : LINK_STATE_CLOSED;
}

uint16_t LinkVendorCode(const CameraLink* link) { return link != nullptr ? link->vendor_code : 0; }

int32_t LinkSpeedIndex(const CameraLink* link) { return link != nullptr ? link->speed_index : 0; }

int32_t LinkDeviceIndex(const CameraLink* link) { return link != nullptr ? link->device_index : 0; }

uint32_t LinkBytesReceived(const CameraLink* link) {
  return link != nullptr ? link->bytes_received : 0;
}

uint32_t LinkPacketsSent(const CameraLink* link) {
  return link != nullptr ? link->packets_sent : 0;
}

uint8_t LinkRxSequence(const CameraLink* link) { return link != nullptr ? link->rx_seq : 0; }

void LinkSetState(int32_t state, CameraLink* link) {
  if (link != nullptr) link->state = state;
}

SerialHandle LinkComHandle(const CameraLink* link) {
  return link != nullptr ? link->com_handle : nullptr;
}

}  // namespace pelox
