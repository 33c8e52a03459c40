#include "link/packet_io.h"

#include <algorithm>
#include <array>
#include <optional>

#include "link/exchanges.h"
#include "link/link_record.h"
#include "link/packet.h"
#include "link/packet_io_internal.h"
#include "link/reply_reserve.h"
#include "link/speed_table.h"
#include "platform/clock.h"
#include "transport/byte_order.h"
#include "transport/port/port.h"

namespace pelox {
namespace {

constexpr uint32_t PAUSE_AFTER_CONTROL_SERIAL_MS = 50;
constexpr uint32_t PAUSE_AFTER_CONTROL_STORAGE_MS = 10;
constexpr size_t DRAIN_BUFFER_SIZE = 15;
constexpr int32_t DRAIN_TIMEOUT = 1;
constexpr int32_t PORT_WRITE_OK = 1;
constexpr uint16_t VENDOR_WITHOUT_REPLY_CHECKSUM = 2846;
// Late bytes passed over before a reply: an acknowledgement for each try of
// a request, and an action end.
constexpr int32_t LATE_BYTES_PASSED = EXCHANGE_TRIES + 1;
// Before a request goes out after a reply was given up, the line is read
// until it has been quiet this long: the camera's late replies to each copy
// of the request come about a reply time-out apart.
constexpr int32_t SETTLE_QUIET = 2 * TIMEOUT_PACKET;
constexpr uint32_t SETTLE_LIMIT_MS = 5000;
// What a look at the camera may take on the storage pipe after a command's
// unanswered wait: a reconnection, the reads that confirm the camera, and a get.
constexpr int32_t LOOK_RESERVE_MS = 10000;
// A stop request is seen within this many read units (100 ms on a serial port).
constexpr int32_t READ_SLICE = 10;
constexpr auto SERIAL_UNIT_MS = static_cast<int32_t>(SERIAL_TIMEOUT_UNIT_MS);

// Bytes that arrived are progress: the stall bound counts from them.
int32_t CountArrival(int32_t read, CameraLink* link) {
  if (read > 0) RenewStallBound(link);
  return read;
}

// PortRead on the link's behalf, within its limits: no read waits past the
// wait deadline or the stall bound, and a stop request ends a serial read
// within a slice. A storage device's command cannot be cut short, so there
// the stop is seen before the next one.
int32_t ReadWithinLimits(std::span<uint8_t> buffer, int32_t timeout, CameraLink* link) {
  if (StopRequested(link)) return 0;
  if (IsStoragePipe(link) || timeout <= READ_SLICE) {
    return CountArrival(PortRead(link, buffer, timeout, WaitDeadline(link)), link);
  }
  const uint32_t end_ms = ClockTickCount() + static_cast<uint32_t>(timeout * SERIAL_UNIT_MS);
  // Quiet slices are counted too: a port that gives up its reads at once
  // must not keep this loop spinning.
  const int32_t slices = timeout / READ_SLICE + 1;
  size_t received = 0;
  for (int32_t quiet = 0; quiet < slices && received < buffer.size() && !StopRequested(link);) {
    const int32_t left_ms = TimeLeftMs(end_ms);
    if (left_ms <= 0 || WaitDeadlinePassed(link)) break;
    const int32_t units = std::min((left_ms + SERIAL_UNIT_MS - 1) / SERIAL_UNIT_MS, READ_SLICE);
    const int32_t read =
        CountArrival(PortRead(link, buffer.subspan(received), units, WaitDeadline(link)), link);
    if (read < 0) return read;
    if (read == 0) ++quiet;
    received += static_cast<size_t>(read);
  }
  return static_cast<int32_t>(received);
}

// An acknowledgement or action end the link no longer waits for.
bool IsLateByte(uint8_t byte) { return byte == CONTROL_ACK || byte == CONTROL_ACTION_DONE; }

// A byte that is a whole answer in itself, where a reply was expected.
bool IsControlAnswer(uint8_t byte) {
  return byte == CONTROL_NAK || byte == CONTROL_ERROR || byte == CONTROL_GONE;
}

// The camera needs the pieces of a packet apart by more than one tick. The
// sleep keeps the wait short on a real clock and lets virtual time move.
void PauseBetweenPieces() {
  const uint32_t start = ClockTickCount();
  while (ClockTickCount() - start <= 1) ClockSleep(1);
}

// Rest-of-packet time-out: grows with the length, shrinks with the speed.
int32_t RestTimeout(size_t length, int32_t speed_index) {
  const uint32_t baud = SpeedTableBaud(speed_index);
  return static_cast<int32_t>((length + PACKET_CHECKSUM_SIZE) / 10 * 9600 / baud + 100);
}

Reception ReceiveFromStorage(std::span<uint8_t> buffer, int32_t timeout, size_t largest,
                             CameraLink* link) {
  const size_t wanted = std::min(buffer.size(), largest + PACKET_OVERHEAD);
  const int32_t result = PortReadReply(buffer.first(wanted), timeout, link);
  Reception reception;
  if (result < 0 || static_cast<size_t>(result) > wanted) {
    reception.port_error = result < 0 ? result : PORT_TRANSFER_FAILED;
    return reception;
  }
  reception.received = static_cast<size_t>(result);
  reception.complete = result > 0;
  return reception;
}

Reception ReceiveFromSerial(std::span<uint8_t> buffer, int32_t timeout, size_t largest,
                            CameraLink* link) {
  Reception reception;
  if (buffer.size() < PACKET_OVERHEAD) return reception;
  const int32_t header = ReadWithinLimits(buffer.first(PACKET_HEADER_SIZE), timeout, link);
  if (header < 0) {
    reception.port_error = header;
    return reception;
  }
  reception.received = static_cast<size_t>(header);
  if (reception.received < PACKET_HEADER_SIZE) return reception;
  const size_t length = LoadLe16(std::span<const uint8_t>(buffer).subspan<2, 2>());
  const size_t limit = std::min({largest, SERIAL_PAYLOAD_LIMIT, buffer.size() - PACKET_OVERHEAD});
  if (length > limit) {
    reception.oversized = true;
    return reception;
  }
  const size_t rest = length + PACKET_CHECKSUM_SIZE;
  const int32_t body = ReadWithinLimits(buffer.subspan(PACKET_HEADER_SIZE, rest),
                                        RestTimeout(length, link->speed_index), link);
  if (body < 0) {
    reception.port_error = body;
    return reception;
  }
  reception.received += static_cast<size_t>(body);
  reception.complete = static_cast<size_t>(body) == rest;
  return reception;
}

// One read of a control byte: the byte, CONTROL_READ_FAILED, -2 / -3 from
// the storage pipe, or nothing when the time-out passed.
std::optional<int32_t> ReadControlRaw(int32_t timeout, CameraLink* link) {
  std::array<uint8_t, 1> byte{};
  const int32_t result = ReadWithinLimits(byte, timeout, link);
  if (result == 1) return byte[0];
  if (result == PORT_FAILED) return CONTROL_READ_FAILED;
  if (result < 0) return result;
  return std::nullopt;
}

// ReadControlRaw with a failed read given as CONTROL_ERROR.
std::optional<int32_t> ReadControlOnce(int32_t timeout, CameraLink* link) {
  const std::optional<int32_t> answer = ReadControlRaw(timeout, link);
  return answer == CONTROL_READ_FAILED ? std::optional<int32_t>(CONTROL_ERROR) : answer;
}

// Whether the wait deadline leaves `needed_ms`; true without one.
bool WaitDeadlineLeaves(uint32_t needed_ms, const CameraLink* link) {
  const std::optional<uint32_t> deadline = WaitDeadline(link);
  return !deadline ||
         static_cast<int32_t>(*deadline - ClockTickCount()) >= static_cast<int32_t>(needed_ms);
}

int32_t WriteControl(uint8_t byte, CameraLink* link) {
  const std::array<uint8_t, 1> data{byte};
  const int32_t result = PortWrite(link, data);
  if (result == PORT_WRITE_OK) {
    link->control_sent = 1;
    return LINK_OK;
  }
  return result == PORT_TRANSFER_FAILED ? LINK_ERROR_TRANSPORT : LINK_ERROR_CAMERA_GONE;
}

// The storage pipe takes a packet whole; a serial camera in three pieces.
int32_t WritePacket(std::span<const uint8_t> packet, CameraLink* link) {
  if (IsStoragePipe(link) || packet.size() <= PACKET_HEADER_SIZE) return PortWrite(link, packet);
  const std::array<std::span<const uint8_t>, 3> pieces{packet.first(1),
                                                       packet.subspan(1, PACKET_HEADER_SIZE - 1),
                                                       packet.subspan(PACKET_HEADER_SIZE)};
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) PauseBetweenPieces();
    const int32_t result = PortWrite(link, pieces[i]);
    if (result != PORT_WRITE_OK) return result;
  }
  return PORT_WRITE_OK;
}

}  // namespace

bool IsStoragePipe(const CameraLink* link) { return link->port_type == PORT_TYPE_STORAGE; }

std::optional<uint32_t> WaitDeadline(const CameraLink* link) {
  std::optional<uint32_t> earliest = link->wait_deadline;
  // Wrap-safe: the tick count wraps every 49.7 days.
  const auto narrow = [&earliest](uint32_t tick) {
    if (!earliest || static_cast<int32_t>(tick - *earliest) < 0) earliest = tick;
  };
  if (link->own_deadline) narrow(*link->own_deadline);
  if (link->stall_bound_ms != 0) narrow(link->last_progress + link->stall_bound_ms);
  return earliest;
}

bool WaitDeadlinePassed(const CameraLink* link) { return !WaitDeadlineLeaves(1, link); }

uint32_t ReplyTimeMs(const CameraLink* link) {
  return IsStoragePipe(link) ? STORAGE_TIMEOUT_UNIT_MS : TIMEOUT_PACKET * SERIAL_TIMEOUT_UNIT_MS;
}

bool TimeForAReply(const CameraLink* link) {
  return !StopRequested(link) &&
         WaitDeadlineLeaves(link->reply_time_reserved ? ReplyTimeMs(link) : 1, link);
}

bool TimeForAReconnection(const CameraLink* link) {
  const uint32_t handshake_ms =
      IsStoragePipe(link) ? 0 : TIMEOUT_CONTROL_BYTE * SERIAL_TIMEOUT_UNIT_MS;
  return TimeForAReply(link) &&
         (!link->reply_time_reserved || WaitDeadlineLeaves(handshake_ms + ReplyTimeMs(link), link));
}

void LinkReserveReplyTime(bool on, CameraLink* link) {
  if (link != nullptr) link->reply_time_reserved = on;
}

int32_t WaitEndCode(const CameraLink* link) {
  return StopRequested(link) ? LINK_ERROR_STOPPED : LINK_ERROR_NO_ANSWER;
}

void RenewStallBound(CameraLink* link) { link->last_progress = ClockTickCount(); }

bool RepliesCarryChecksum(const CameraLink* link) {
  return !(IsStoragePipe(link) && link->vendor_code == VENDOR_WITHOUT_REPLY_CHECKSUM);
}

int32_t SendPacket(std::span<const uint8_t> packet, CameraLink* link) {
  if (link == nullptr) return PORT_FAILED;
  if (!TimeForAReply(link)) return SEND_NO_TIME;
  ++link->packets_sent;
  const int32_t result = WritePacket(packet, link);
  if (result == PORT_WRITE_OK) {
    LinkEvent sent;
    sent.packet = packet;
    LinkReportEvent(sent, link);
  }
  return result;
}

Reception ReceivePacket(std::span<uint8_t> buffer, int32_t timeout, size_t largest,
                        CameraLink* link) {
  if (link == nullptr) return {};
  const Reception reception = IsStoragePipe(link)
                                  ? ReceiveFromStorage(buffer, timeout, largest, link)
                                  : ReceiveFromSerial(buffer, timeout, largest, link);
  if (reception.complete) {
    LinkEvent received;
    received.kind = LinkEventKind::FRAME_RECEIVED;
    received.packet = buffer.first(reception.received);
    LinkReportEvent(received, link);
  }
  return reception;
}

int32_t ReadControlByte(int32_t attempts, CameraLink* link) {
  if (link == nullptr) return CONTROL_NOTHING;
  const uint32_t start = ClockTickCount();
  for (int32_t attempt = 0; attempt < attempts && !StopRequested(link); ++attempt) {
    link->control_sent = 0;
    if (const std::optional<int32_t> answer = ReadControlOnce(TIMEOUT_CONTROL_BYTE, link)) {
      return *answer;
    }
    if (attempt + 1 < attempts) {
      LinkReportEvent(
          TryEvent(LinkEventKind::STILL_WAITING, attempt + 2, attempts, ClockTickCount() - start),
          link);
    }
  }
  return CONTROL_NOTHING;
}

int32_t PortReadReply(std::span<uint8_t> buffer, int32_t timeout, CameraLink* link) {
  // The storage pipe hands each unit whole; a serial line byte by byte, so
  // there a late byte is read alone before the rest.
  const bool storage = IsStoragePipe(link);
  const std::span<uint8_t> first = storage ? buffer : buffer.first(1);
  int32_t read = 0;
  for (int32_t passed = 0;; ++passed) {
    read = ReadWithinLimits(first, timeout, link);
    const bool late = read == 1 && IsLateByte(buffer[0]);
    if (!late || passed == LATE_BYTES_PASSED) break;
  }
  // Given up on: the reply may still come.
  if (read == 0) link->reply_owed = true;
  if (storage || read != 1 || buffer.size() == 1 || IsControlAnswer(buffer[0])) return read;
  const int32_t rest = ReadWithinLimits(buffer.subspan(1), timeout, link);
  if (rest < 0) return rest;
  if (static_cast<size_t>(rest) + 1 < buffer.size()) link->reply_owed = true;
  return rest + 1;
}

int32_t ReadOnceAnswer(CameraLink* link) {
  // A storage camera holds its answer until it has one, so the read may
  // wait long; a serial camera's silence is over in its usual time.
  const std::optional<uint32_t> deadline = WaitDeadline(link);
  if (!IsStoragePipe(link) || !deadline) return ReadControlByte(1, link);
  const int32_t spare_ms = TimeLeftMs(*deadline) - LOOK_RESERVE_MS;
  const int32_t seconds =
      std::clamp(spare_ms / static_cast<int32_t>(STORAGE_TIMEOUT_UNIT_MS), 1, TIMEOUT_CONTROL_BYTE);
  link->control_sent = 0;
  return ReadControlOnce(seconds, link).value_or(CONTROL_NOTHING);
}

int32_t ReadActionEnd(CameraLink* link) {
  link->control_sent = 0;
  return ReadControlRaw(TIMEOUT_CONTROL_BYTE, link).value_or(CONTROL_NOTHING);
}

int32_t ReadControlByteBefore(uint32_t deadline_ms, CameraLink* link) {
  link->control_sent = 0;
  const int32_t left_ms = TimeLeftMs(deadline_ms);
  if (left_ms <= 0) return CONTROL_NOTHING;
  const int32_t units = (left_ms + SERIAL_UNIT_MS - 1) / SERIAL_UNIT_MS;
  return ReadControlOnce(units, link).value_or(CONTROL_NOTHING);
}

int32_t TimeLeftMs(uint32_t deadline_ms) {
  return static_cast<int32_t>(deadline_ms - ClockTickCount());
}

bool StopRequested(const CameraLink* link) {
  return link->stop_flag != nullptr && link->stop_flag->load() != 0;
}

int32_t SendAck(CameraLink* link) {
  return link != nullptr ? WriteControl(CONTROL_ACK, link) : LINK_ERROR_NO_LINK;
}

int32_t SendControl(uint8_t byte, CameraLink* link) {
  if (link == nullptr) return LINK_ERROR_NO_LINK;
  if (CameraGoneCheck(link)) return LINK_ERROR_CAMERA_GONE;
  return WriteControl(byte, link);
}

bool CameraGoneCheck(CameraLink* link) {
  if (link == nullptr || IsStoragePipe(link)) return false;
  std::array<uint8_t, 1> byte{};
  if (ReadWithinLimits(byte, TIMEOUT_GONE_CHECK, link) != 1) return false;
  // A late acknowledgement or action end says nothing of what follows it:
  // a reply to a copy of the request about to go again may be on its way.
  if (IsLateByte(byte[0])) return false;
  const bool gone = byte[0] == CONTROL_GONE;
  if (gone) link->state = LINK_STATE_CAMERA_GONE;
  DrainInput(link);
  return gone;
}

void PreSendPause(CameraLink* link) {
  if (link == nullptr || link->control_sent == 0) return;
  link->control_sent = 0;
  PortSleep(link->port_type,
            IsStoragePipe(link) ? PAUSE_AFTER_CONTROL_STORAGE_MS : PAUSE_AFTER_CONTROL_SERIAL_MS);
}

void SettleLine(CameraLink* link) {
  if (!link->reply_owed) return;
  link->reply_owed = false;
  std::array<uint8_t, DRAIN_BUFFER_SIZE> buffer{};
  // A read of the storage pipe takes one unit the camera holds, and waits
  // no less than its unit of time for one.
  const int32_t quiet = IsStoragePipe(link) ? DRAIN_TIMEOUT : SETTLE_QUIET;
  // A camera that keeps talking is left to the request's own checks.
  const uint32_t start = ClockTickCount();
  while (ClockTickCount() - start < SETTLE_LIMIT_MS &&
         ReadWithinLimits(buffer, quiet, link) > 0) {
  }
}

void DrainInput(CameraLink* link) {
  if (IsStoragePipe(link)) return;
  // One drain reads until the line is quiet, within its bounds; another
  // would only start them afresh on a line that keeps talking.
  std::array<uint8_t, DRAIN_BUFFER_SIZE> buffer{};
  PortDrain(link, buffer, DRAIN_TIMEOUT, WaitDeadline(link));
}

}  // namespace pelox
