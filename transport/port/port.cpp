#include "transport/port/port.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>

#include "platform/clock.h"
#include "platform/thread.h"
#include "transport/port/port_settings.h"
#include "transport/port/port_state.h"
#include "transport/storage/storage_ops.h"

namespace pelox {
namespace {

// One serial port at a time for the whole program; the device-control block
// is shared by every link, as the one open port owns it. Links on other
// threads open and close ports meanwhile: a serial open claims the port type
// in one step, before it touches the block.
std::atomic<int32_t> open_port_type{PORT_TYPE_NONE};
CommSettings comm_settings;

// A storage open discovers and claims a camera; two at once would rebuild
// the device table under each other's claims.
Mutex& StorageOpenLock() {
  static Mutex lock;
  return lock;
}

constexpr uint32_t WRITE_TIMEOUT_MULTIPLIER_MS = 100;
constexpr uint32_t WRITE_TIMEOUT_CONSTANT_MS = 300;
constexpr uint32_t SERIAL_ZERO_TIMEOUT_MS = 2;
constexpr uint32_t FLOW_FLAGS = DCB_OUTX_CTS_FLOW | DCB_OUTX_DSR_FLOW | DCB_OUTX | DCB_INX;

bool IsStorage(int32_t type) { return type == PORT_TYPE_STORAGE; }

// A time-out of 0 still waits 2 ms. A negative one would wrap into a wait of
// weeks: it is read as 0 too.
uint32_t ReadTimeoutMs(int32_t timeout) {
  if (timeout <= 0) return SERIAL_ZERO_TIMEOUT_MS;
  return static_cast<uint32_t>(timeout) * SERIAL_TIMEOUT_UNIT_MS;
}

// Milliseconds left before `deadline`; nullopt without one.
std::optional<int64_t> DeadlineLeftMs(std::optional<uint32_t> deadline) {
  if (!deadline) return std::nullopt;
  return static_cast<int32_t>(*deadline - ClockTickCount());
}

int32_t SerialReadWithTimeout(PortState* link, std::span<uint8_t> buffer, uint32_t wait_ms) {
  CommTimeouts timeouts;
  if (!SerialGetTimeouts(link->com_handle, timeouts)) return PORT_FAILED;
  timeouts.ReadIntervalTimeout = 0;
  timeouts.ReadTotalTimeoutMultiplier = 0;
  timeouts.ReadTotalTimeoutConstant = wait_ms;
  if (!SerialSetTimeouts(link->com_handle, timeouts)) return PORT_FAILED;
  uint32_t received = 0;
  if (!SerialRead(link->com_handle, buffer, received)) return PORT_FAILED;
  return static_cast<int32_t>(received);
}

bool ConfigureSerial(SerialHandle device, uint32_t baud, uint8_t byte_size, uint32_t in_queue,
                     uint32_t out_queue) {
  if (!SerialGetState(device, comm_settings)) return false;
  comm_settings.BaudRate = baud;
  comm_settings.ByteSize = byte_size;
  comm_settings.Parity = SERIAL_PARITY_NONE;
  comm_settings.StopBits = SERIAL_ONE_STOP_BIT;
  if (!SerialSetState(device, comm_settings)) return false;
  CommTimeouts timeouts;
  if (!SerialGetTimeouts(device, timeouts)) return false;
  timeouts.WriteTotalTimeoutMultiplier = WRITE_TIMEOUT_MULTIPLIER_MS;
  timeouts.WriteTotalTimeoutConstant = WRITE_TIMEOUT_CONSTANT_MS;
  if (!SerialSetTimeouts(device, timeouts)) return false;
  return SerialSetupQueues(device, in_queue, out_queue);
}

}  // namespace

int32_t PortOpenType() { return open_port_type; }
const CommSettings& PortCommSettings() { return comm_settings; }

void PortResetState() {
  open_port_type = PORT_TYPE_NONE;
  comm_settings = CommSettings{};
}

int32_t PortOpenStorage(int32_t type, PortState* link) {
  const StorageOps& ops = StorageOpsTable();
  if (link == nullptr || ops.Open == nullptr) return PORT_FAILED;
  {
    const std::lock_guard<Mutex> hold(StorageOpenLock());
    if (ops.Open(type, link) != type) return PORT_FAILED;
  }
  link->port_type = type;
  open_port_type = type;
  return type;
}

int32_t PortOpenCom(int32_t port, uint32_t baud, uint8_t byte_size, uint32_t in_queue,
                    uint32_t out_queue, PortState* link) {
  if (link == nullptr || port < PORT_TYPE_COM_FIRST || port > PORT_TYPE_COM_LAST) {
    return PORT_FAILED;
  }
  int32_t none = PORT_TYPE_NONE;
  if (!open_port_type.compare_exchange_strong(none, port)) return PORT_FAILED;
  SerialHandle device = SerialOpen(port);
  if (device == nullptr || !ConfigureSerial(device, baud, byte_size, in_queue, out_queue)) {
    // Release the device at once so that the caller's next try can open it.
    if (device != nullptr) SerialClose(device);
    int32_t claimed = port;
    open_port_type.compare_exchange_strong(claimed, PORT_TYPE_NONE);
    return PORT_FAILED;
  }
  link->com_handle = device;
  link->port_type = port;
  return port;
}

int32_t PortClose(PortState* link) {
  if (link == nullptr) return PORT_OK;
  if (IsStorage(link->port_type)) {
    const StorageOps& ops = StorageOpsTable();
    const int32_t closed = ops.Close != nullptr ? ops.Close(link) : PORT_OK;
    open_port_type = PORT_TYPE_NONE;
    return closed;
  }
  if (link->com_handle == nullptr) return PORT_OK;
  // The device is released even when its close fails: the handle is gone
  // either way, and only the failure is reported.
  const bool closed = SerialClose(link->com_handle);
  link->com_handle = nullptr;
  open_port_type = PORT_TYPE_NONE;
  return closed ? PORT_OK : PORT_FAILED;
}

int32_t PortRead(PortState* link, std::span<uint8_t> buffer, int32_t timeout,
                 std::optional<uint32_t> deadline) {
  if (link == nullptr) return PORT_FAILED;
  // No read waits past the deadline; after it nothing more arrives.
  const std::optional<int64_t> left = DeadlineLeftMs(deadline);
  if (left && *left <= 0) return 0;
  if (IsStorage(link->port_type)) {
    const StorageOps& ops = StorageOpsTable();
    if (ops.Read == nullptr) return PORT_TRANSFER_FAILED;
    // Storage time-outs are whole seconds: rounded down, so that none ends
    // past the deadline, but never below one, the device command's least.
    const int64_t seconds =
        left ? std::max<int64_t>(*left / STORAGE_TIMEOUT_UNIT_MS, 1) : timeout;
    if (seconds <= 0) return 0;
    return ops.Read(link, buffer, static_cast<int32_t>(std::min<int64_t>(timeout, seconds)));
  }
  if (link->com_handle == nullptr) return PORT_FAILED;
  const uint32_t wait_ms = ReadTimeoutMs(timeout);
  return SerialReadWithTimeout(
      link, buffer, left ? static_cast<uint32_t>(std::min<int64_t>(wait_ms, *left)) : wait_ms);
}

int32_t PortDrain(PortState* link, std::span<uint8_t> buffer, int32_t timeout,
                  std::optional<uint32_t> deadline) {
  if (link == nullptr) return PORT_FAILED;
  if (IsStorage(link->port_type)) return PortRead(link, buffer, timeout, deadline);
  if (link->port_type != open_port_type || timeout <= 0 || buffer.empty()) return PORT_FAILED;
  const uint32_t start = ClockTickCount();
  int32_t drained = 0;
  while (drained < DRAIN_BYTE_LIMIT && ClockTickCount() - start < DRAIN_TIME_LIMIT_MS &&
         PortRead(link, buffer.first(1), 1, deadline) > 0) {
    ++drained;
  }
  return drained;
}

int32_t PortWrite(PortState* link, std::span<const uint8_t> data) {
  if (link == nullptr) return PORT_FAILED;
  if (IsStorage(link->port_type)) {
    const StorageOps& ops = StorageOpsTable();
    return ops.Write != nullptr ? ops.Write(link, data) : PORT_TRANSFER_FAILED;
  }
  if (link->com_handle == nullptr) return PORT_FAILED;
  uint32_t written = 0;
  if (!SerialWrite(link->com_handle, data, written)) return PORT_FAILED;
  if (!SerialFlush(link->com_handle)) return PORT_FAILED;
  // A write whose time-out passed has lost the rest of the bytes: that is a
  // failure, not a success.
  return written == data.size() ? PORT_OK : PORT_FAILED;
}

int32_t PortSleep(int32_t /*type*/, uint32_t milliseconds) {
  ClockSleep(milliseconds);
  return PORT_OK;
}

int32_t PortSetBaud(int32_t type, uint32_t baud, SerialHandle device) {
  if (IsStorage(type)) return PORT_OK;
  comm_settings.BaudRate = baud;
  return SerialSetState(device, comm_settings) ? PORT_OK : PORT_FAILED;
}

int32_t PortSetFlowControl(int32_t type, int32_t mode, SerialHandle device) {
  if (IsStorage(type)) return PORT_OK;
  uint32_t flow = 0;
  switch (mode) {
    case FLOW_HARDWARE: flow = DCB_OUTX_CTS_FLOW | DCB_OUTX_DSR_FLOW; break;
    case FLOW_XONXOFF: flow = DCB_OUTX | DCB_INX; break;
    case FLOW_NONE: break;
    default: flow = comm_settings.flags & FLOW_FLAGS; break;  // unknown mode: unchanged
  }
  comm_settings.flags = (comm_settings.flags & ~FLOW_FLAGS) | flow;
  return SerialSetState(device, comm_settings) ? PORT_OK : PORT_FAILED;
}

}  // namespace pelox
