#pragma once
// Packets and control bytes on the link's port: the serial split-send, the
// bounded receive, control bytes and the camera-gone check.
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/camera_link.h"

namespace pelox {

// Read time-outs in the port's units (10 ms serial, 1 s storage pipe).
inline constexpr int32_t TIMEOUT_CONTROL_BYTE = 360;
inline constexpr int32_t TIMEOUT_PACKET = 50;
inline constexpr int32_t TIMEOUT_GONE_CHECK = 2;

// The largest payload a serial header may announce.
inline constexpr size_t SERIAL_PAYLOAD_LIMIT = 2048;

// ReadControlByte when nothing arrived.
inline constexpr int32_t CONTROL_NOTHING = -1;
// SendPacket's result for a packet it kept back: the link's wait deadline
// leaves no time to read the reply.
inline constexpr int32_t SEND_NO_TIME = -4;

// The port's write result: 1, or -1, -2, -3; SEND_NO_TIME, nothing sent,
// when there is no time to read a reply. Counts the packets it writes.
int32_t SendPacket(std::span<const uint8_t> packet, CameraLink* link);

// What ReceivePacket found. The bytes sit at the start of the buffer.
struct Reception {
  int32_t port_error = 0;  // the port's negative result, 0 when none
  size_t received = 0;     // bytes in the buffer, header included
  bool complete = false;   // a whole packet of `received` bytes
  bool oversized = false;  // the header announced more than fits; the rest stays unread
};

// Receives one packet whose payload may be up to `largest` bytes (bounded by
// the buffer, and by 2048 on a serial port).
Reception ReceivePacket(std::span<uint8_t> buffer, int32_t timeout, size_t largest,
                        CameraLink* link);

// The byte received, CONTROL_NOTHING, CONTROL_ERROR for a failed read, or
// -2 / -3 from the storage pipe. On a serial link with a stop flag, the
// same wait ends as soon as the flag is set.
int32_t ReadControlByte(int32_t attempts, CameraLink* link);

// 0, LINK_ERROR_TRANSPORT or LINK_ERROR_CAMERA_GONE.
int32_t SendAck(CameraLink* link);
// As SendAck, after the camera-gone check (which also gives camera gone).
int32_t SendControl(uint8_t byte, CameraLink* link);

// True when the camera announced that it is going away (serial only).
bool CameraGoneCheck(CameraLink* link);
void PreSendPause(CameraLink* link);

}  // namespace pelox
