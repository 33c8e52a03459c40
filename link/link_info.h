#pragma once
/// @file
/// What a program reads of a link's state. Each function takes the link
/// last and answers for a null link too.
#include <cstdint>

#include "link/camera_link.h"
#include "platform/export.h"
#include "transport/port/port_types.h"

PELOX_API_BEGIN
namespace pelox {

/// A link outside the list of LinkCreate (LinkDestroyAll leaves it alone),
/// for CameraProbeSerialLine; LinkDelete frees it. Null when memory is short.
CameraLink* LinkCreateUnlisted();

/// The port the link found or opened: a COM number, PORT_TYPE_STORAGE, or
/// PORT_TYPE_NONE before (and for null).
int32_t LinkPortType(const CameraLink* link);
/// The port state the transport keeps for the link, for the port functions;
/// null for null.
PortState* LinkPort(CameraLink* link);
/// The link's state; LINK_STATE_CLOSED for null.
LinkState LinkCurrentState(const CameraLink* link);
/// The maker code of the storage device the link opened (a connection gives
/// a serial camera the default code); 0 before, and for null.
uint16_t LinkVendorCode(const CameraLink* link);
/// The speed table's index the link connects at; 0 for null.
int32_t LinkSpeedIndex(const CameraLink* link);
/// The device table's entry of the storage device the link opened.
int32_t LinkDeviceIndex(const CameraLink* link);
/// What the last chunked read delivered, also when it ended short.
uint32_t LinkBytesReceived(const CameraLink* link);
/// Packets handed to the port, also those whose write failed: when this
/// moved during a command, a byte of it may have reached the camera.
uint32_t LinkPacketsSent(const CameraLink* link);
/// The sequence number the link expects of the camera's next data frame.
uint8_t LinkRxSequence(const CameraLink* link);

}  // namespace pelox
PELOX_API_END
