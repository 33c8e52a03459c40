#pragma once
// What the link's own operations share around their packets and waits:
// the wait deadline, the stop flag, events and the reads of a busy camera's
// end. Kept out of the installed headers, since no program calls them.
#include <cstdint>
#include <optional>
#include <span>

#include "link/camera_link.h"

namespace pelox {

// ReadActionEnd when the port read failed.
inline constexpr int32_t CONTROL_READ_FAILED = -5;

bool IsStoragePipe(const CameraLink* link);
// Hands `event` to the link's observer, if it has one.
void LinkReportEvent(const LinkEvent& event, const CameraLink* link);
// Tells the observer that a request goes out again as try `try_number` of
// `tries`, after a NAK or after silence since `sent_at_ms`.
void LinkReportRequestAgain(int32_t try_number, int32_t tries, bool nak, uint32_t sent_at_ms,
                            const CameraLink* link);
// The tick by which the link's next wait ends: the earliest of the caller's
// deadline, the link's own bound and the stall bound counted from the last
// progress; nullopt when none is set.
std::optional<uint32_t> WaitDeadline(const CameraLink* link);
// True once that deadline has passed; false without one.
bool WaitDeadlinePassed(const CameraLink* link);
// An acknowledged frame is progress: the stall bound, when set, starts again.
void RenewStallBound(CameraLink* link);
// Whether the link may begin a wait: its stop flag is clear and its wait
// deadline (with the stall bound) has not passed. No more is held back,
// unless LinkReserveReplyTime asked for a reply's time: a wait that begins
// ends at the deadline.
bool TimeForAReply(const CameraLink* link);
// TimeForAReply, for a reconnection (with its handshake, when reserved).
bool TimeForAReconnection(const CameraLink* link);
// The code of a wait that the link's limits ended: LINK_ERROR_STOPPED
// while the stop flag is set, else LINK_ERROR_NO_ANSWER.
int32_t WaitEndCode(const CameraLink* link);
// False for the maker whose storage cameras send replies without a valid
// checksum.
bool RepliesCarryChecksum(const CameraLink* link);

// One read of the byte that ends a busy camera's action: the byte,
// CONTROL_NOTHING, CONTROL_READ_FAILED, or -2 / -3 from the storage pipe. A
// failed read is not the camera's error.
int32_t ReadActionEnd(CameraLink* link);

// PortRead of a request's reply. An acknowledgement or action end the link
// stopped waiting for may arrive in place of a later reply (on the storage
// pipe as the next read's unit, on a serial line before the reply's
// bytes); neither byte ever starts a reply, so a few such bytes are passed
// over and the reply read on. On a serial line a NAK, 0x11 or 0xFF in
// place of the reply ends the read at once. A reply given up before it came
// in full marks the link as owed it (SettleLine).
int32_t PortReadReply(std::span<uint8_t> buffer, int32_t timeout, CameraLink* link);
// When a reply was given up, reads what the camera still sends before the
// next request goes out, until it has been quiet for two reply time-outs
// on a serial line or a read unit on the storage pipe (5 s at most). So a
// late reply is never read as the next request's.
void SettleLine(CameraLink* link);
// The answer to a command that must not be sent twice: one attempt of
// ReadControlByte, which on the storage pipe ends early enough that the
// link's wait deadline, if any, still leaves time to ask the camera how it is.
int32_t ReadOnceAnswer(CameraLink* link);
// As ReadControlByte on a serial port, reading in short slices until the
// tick count reaches `deadline_ms` or the link's stop flag is set.
int32_t ReadControlByteBefore(uint32_t deadline_ms, CameraLink* link);
// Milliseconds until the tick count reaches `deadline_ms`; 0 or less once
// it has.
int32_t TimeLeftMs(uint32_t deadline_ms);
// True once the front end asked the link to stop waiting.
bool StopRequested(const CameraLink* link);

// Discards pending serial input.
void DrainInput(CameraLink* link);

}  // namespace pelox
