#pragma once
/// @file
/// The port layer: one port per link, a serial COM port or the storage pipe.
/// Results: PORT_OK or a byte count on success, PORT_FAILED a failed serial
/// call or open, PORT_TRANSFER_FAILED a failed or timed-out storage transfer,
/// PORT_SCSI_ERROR a SCSI error status.
#include <cstdint>
#include <optional>
#include <span>

#include "platform/devices.h"
#include "platform/export.h"
#include "transport/port/port_types.h"

PELOX_API_BEGIN
namespace pelox {

enum PortResult : int32_t {
  PORT_OK = 1,
  PORT_FAILED = -1,
  PORT_TRANSFER_FAILED = -2,
  PORT_SCSI_ERROR = -3,
};

/// Read time-outs count in these units.
inline constexpr uint32_t SERIAL_TIMEOUT_UNIT_MS = 10;
inline constexpr uint32_t STORAGE_TIMEOUT_UNIT_MS = 1000;

/// A serial drain ends once a read finds the line quiet, or after this many
/// bytes or this long: a device that never stops talking cannot hold it.
inline constexpr int32_t DRAIN_BYTE_LIMIT = 4096;
inline constexpr uint32_t DRAIN_TIME_LIMIT_MS = 1500;

/// Returns `type`, or PORT_FAILED when no storage variant is chosen or no
/// camera's drive can be claimed and opened.
int32_t PortOpenStorage(int32_t type, PortState* link);
/// Returns `port`, or PORT_FAILED when a port is already open, `port` is no
/// COM port, or the device does not open or take the settings.
int32_t PortOpenCom(int32_t port, uint32_t baud, uint8_t byte_size, uint32_t in_queue,
                    uint32_t out_queue, PortState* link);
/// Returns PORT_OK (also when nothing was open), or PORT_FAILED when the
/// serial device's close failed; the handle is released either way.
int32_t PortClose(PortState* link);
/// Time-out unit: 10 ms on a serial port, 1 s on the storage pipe. No read
/// waits past `deadline` (a tick of LinkTickCount's clock), when given, but
/// on the storage pipe a read begun less than a second before it waits its
/// one unit, the least a device command takes.
/// Returns the bytes read (0 once the deadline has passed), or PORT_FAILED
/// on a serial port, PORT_TRANSFER_FAILED or PORT_SCSI_ERROR on the storage
/// pipe.
int32_t PortRead(PortState* link, std::span<uint8_t> buffer, int32_t timeout,
                 std::optional<uint32_t> deadline = std::nullopt);
/// Returns the bytes discarded, or PORT_FAILED when the link's port is not
/// the open one, `timeout` is not positive or `buffer` is empty; on the
/// storage pipe it is one PortRead. Its reads end by `deadline` as PortRead's.
int32_t PortDrain(PortState* link, std::span<uint8_t> buffer, int32_t timeout,
                  std::optional<uint32_t> deadline = std::nullopt);
/// Returns PORT_OK once every byte went out, or PORT_FAILED on a serial port
/// (also for a short write), PORT_TRANSFER_FAILED or PORT_SCSI_ERROR on the
/// storage pipe.
int32_t PortWrite(PortState* link, std::span<const uint8_t> data);
/// Waits on the platform clock; returns PORT_OK.
int32_t PortSleep(int32_t type, uint32_t milliseconds);
/// Returns PORT_OK (at once on the storage pipe), or PORT_FAILED when the
/// device refuses the settings.
int32_t PortSetBaud(int32_t type, uint32_t baud, SerialHandle device);
/// An unknown mode keeps the flow control as it is. Returns PORT_OK (at once
/// on the storage pipe), or PORT_FAILED when the device refuses the settings.
int32_t PortSetFlowControl(int32_t type, int32_t mode, SerialHandle device);

/// The port type open in the program, PORT_TYPE_NONE when none is.
int32_t PortOpenType();
/// Back to no port open and the default settings; for tests.
PELOX_TEST_HOOK void PortResetState();

}  // namespace pelox
PELOX_API_END
