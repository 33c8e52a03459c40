#pragma once
// The port layer: one port per link, a serial COM port or the storage pipe.
// Results: 1 or a byte count on success, -1 a failed serial call or open,
// -2 a failed or timed-out storage transfer, -3 a SCSI error status.
#include <cstdint>
#include <span>

#include "platform/serial.h"
#include "transport/port/port_state.h"

namespace pelox {

inline constexpr int32_t PORT_OK = 1;
inline constexpr int32_t PORT_FAILED = -1;
inline constexpr int32_t PORT_TRANSFER_FAILED = -2;
inline constexpr int32_t PORT_SCSI_ERROR = -3;

// Serial read time-outs count in this unit.
inline constexpr uint32_t SERIAL_TIMEOUT_UNIT_MS = 10;

// A serial drain ends once a read finds the line quiet, or after this many
// bytes or this long: a device that never stops talking cannot hold it.
inline constexpr int32_t DRAIN_BYTE_LIMIT = 4096;
inline constexpr uint32_t DRAIN_TIME_LIMIT_MS = 1500;

int32_t PortOpenStorage(int32_t type, PortState* link);
int32_t PortOpenCom(int32_t port, uint32_t baud, uint8_t byte_size, uint32_t in_queue,
                    uint32_t out_queue, PortState* link);
int32_t PortClose(PortState* link);
// Time-out unit: 10 ms on a serial port, 1 s on the storage pipe.
int32_t PortRead(PortState* link, std::span<uint8_t> buffer, int32_t timeout);
int32_t PortDrain(PortState* link, std::span<uint8_t> buffer, int32_t timeout);
int32_t PortWrite(PortState* link, std::span<const uint8_t> data);
int32_t PortSleep(int32_t type, uint32_t milliseconds);
int32_t PortSetBaud(int32_t type, uint32_t baud, SerialHandle device);
int32_t PortSetFlowControl(int32_t type, int32_t mode, SerialHandle device);

// Program-wide port state, with a reset for tests.
int32_t PortOpenType();
const CommSettings& PortCommSettings();
void PortResetState();

}  // namespace pelox
