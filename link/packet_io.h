#pragma once
// Packets and control bytes on the link's port: the serial split-send, the
// bounded receive, control bytes and the camera-gone check.
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/camera_link.h"
#include "platform/export.h"

PELOX_API_BEGIN
namespace pelox {

// Read time-outs in the port's units (10 ms serial, 1 s storage pipe).
inline constexpr int32_t TIMEOUT_CONTROL_BYTE = 360;
inline constexpr int32_t TIMEOUT_PACKET = 50;
inline constexpr int32_t TIMEOUT_GONE_CHECK = 2;

// The largest payload a serial header may announce.
inline constexpr size_t SERIAL_PAYLOAD_LIMIT = 2048;

// ReadControlByte when nothing arrived.
inline constexpr int32_t CONTROL_NOTHING = -1;
// ReadActionEnd when the port read failed.
inline constexpr int32_t CONTROL_READ_FAILED = -5;
// SendPacket's result for a packet it kept back: the link's wait deadline
// leaves no time to read the reply.
inline constexpr int32_t SEND_NO_TIME = -4;

bool IsStoragePipe(const CameraLink* link);
// Hands `event` to the link's observer, if it has one.
void LinkReportEvent(const LinkEvent& event, const CameraLink* link);
// True once the link's wait deadline has passed; false without one.
bool WaitDeadlinePassed(const CameraLink* link);
// An acknowledged frame is progress: the stall bound, when set, starts again.
void RenewStallBound(CameraLink* link);
// Whether the link's wait deadline, if any, leaves time to read the reply
// to a request: a packet time-out on a serial port, a read unit on the
// storage pipe, whose reads wait no less.
bool TimeForAReply(const CameraLink* link);
// Whether it leaves time for a reconnection: for the handshake's wait for
// the camera's first answer on a serial port, and then for a reply.
bool TimeForAReconnection(const CameraLink* link);
// False for the maker whose storage cameras send replies without a valid
// checksum.
bool RepliesCarryChecksum(const CameraLink* link);

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
// One read of the byte that ends a busy camera's action: the byte,
// CONTROL_NOTHING, CONTROL_READ_FAILED, or -2 / -3 from the storage pipe. A
// failed read is not the camera's error.
int32_t ReadActionEnd(CameraLink* link);

// As ReadControlByte on a serial port, reading in short slices until the
// tick count reaches `deadline_ms` or the link's stop flag is set.
int32_t ReadControlByteBefore(uint32_t deadline_ms, CameraLink* link);
// Milliseconds until the tick count reaches `deadline_ms`; 0 or less once
// it has.
int32_t TimeLeftMs(uint32_t deadline_ms);
// True once the front end asked the link to stop waiting.
bool StopRequested(const CameraLink* link);

// 0, LINK_ERROR_TRANSPORT or LINK_ERROR_CAMERA_GONE.
int32_t SendAck(CameraLink* link);
// As SendAck, after the camera-gone check (which also gives camera gone).
int32_t SendControl(uint8_t byte, CameraLink* link);

// True when the camera announced that it is going away (serial only).
bool CameraGoneCheck(CameraLink* link);
void PreSendPause(CameraLink* link);
// Discards pending serial input.
void DrainInput(CameraLink* link);

}  // namespace pelox
PELOX_API_END
