#pragma once
// Serial devices, shaped after the Win32 communications calls that the port
// layer makes: a device-control block, time-outs, synchronous read and write.
#include <cstdint>
#include <span>

#include "platform/devices.h"

namespace pelox {

// The members of the device-control block that the port layer sets; the
// backend keeps the rest as the driver reported them.
inline constexpr uint32_t DCB_OUTX_CTS_FLOW = 1u << 2;
inline constexpr uint32_t DCB_OUTX_DSR_FLOW = 1u << 3;
inline constexpr uint32_t DCB_OUTX = 1u << 8;
inline constexpr uint32_t DCB_INX = 1u << 9;
// Parity and stop-bit codes of the block (named apart from the Win32 macros).
inline constexpr uint8_t SERIAL_PARITY_NONE = 0;
inline constexpr uint8_t SERIAL_PARITY_ODD = 1;
inline constexpr uint8_t SERIAL_PARITY_EVEN = 2;
inline constexpr uint8_t SERIAL_ONE_STOP_BIT = 0;
inline constexpr uint8_t SERIAL_TWO_STOP_BITS = 2;

struct CommSettings {
  uint32_t BaudRate = 0;
  uint8_t ByteSize = 0;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;
  uint32_t flags = 0;  // the DCB flag word
};

struct CommTimeouts {
  uint32_t ReadIntervalTimeout = 0;
  uint32_t ReadTotalTimeoutMultiplier = 0;
  uint32_t ReadTotalTimeoutConstant = 0;
  uint32_t WriteTotalTimeoutMultiplier = 0;
  uint32_t WriteTotalTimeoutConstant = 0;
};

// Opens COM port `port` (1..9) for exclusive synchronous read and write;
// null when it cannot be opened.
SerialHandle SerialOpen(int32_t port);
bool SerialGetState(SerialHandle device, CommSettings& settings);
bool SerialSetState(SerialHandle device, const CommSettings& settings);
bool SerialGetTimeouts(SerialHandle device, CommTimeouts& timeouts);
bool SerialSetTimeouts(SerialHandle device, const CommTimeouts& timeouts);
bool SerialSetupQueues(SerialHandle device, uint32_t in_queue, uint32_t out_queue);
// Reads up to buffer.size() bytes within the read time-outs; `received` is 0
// when the time-out passed with nothing received.
bool SerialRead(SerialHandle device, std::span<uint8_t> buffer, uint32_t& received);
bool SerialWrite(SerialHandle device, std::span<const uint8_t> data, uint32_t& written);
bool SerialFlush(SerialHandle device);
// Releases the device whether or not its close succeeds: the handle is
// invalid afterwards either way. False when the close failed.
bool SerialClose(SerialHandle device);

}  // namespace pelox
