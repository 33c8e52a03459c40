#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <optional>
#include <utility>

#include "platform/port_tap.h"
#include "platform/serial.h"
#include "platform/serial_map.h"
#include "platform/serial_map_internal.h"

namespace pelox {

struct SerialDevice {
  int fd;
  int32_t port;
  // The settings found at open, given back at close: a terminal named by
  // mistake is left as it was.
  termios found;
  // The last block set: keeps the members that termios cannot express.
  CommSettings settings;
  CommTimeouts timeouts;
};

namespace {

using Clock = std::chrono::steady_clock;

// ReadIntervalTimeout with both read totals 0: return at once with what has
// arrived, as on Win32.
constexpr uint32_t TIMEOUT_RETURN_AT_ONCE = 0xFFFFFFFF;

// Pairs of a block member's value and its termios code.
template <typename Value, typename Code, size_t N>
using CodeTable = std::array<std::pair<Value, Code>, N>;

// The speeds of the link's speed table.
constexpr CodeTable<uint32_t, speed_t, 6> SPEEDS{{{9600, B9600},
                                                  {19200, B19200},
                                                  {38400, B38400},
                                                  {57600, B57600},
                                                  {115200, B115200},
                                                  {230400, B230400}}};
constexpr CodeTable<uint8_t, tcflag_t, 4> SIZES{{{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}}};

template <typename Value, typename Code, size_t N>
std::optional<Code> CodeOf(const CodeTable<Value, Code, N>& table, Value value) {
  for (const auto& [known, code] : table) {
    if (known == value) return code;
  }
  return std::nullopt;
}

// 0 for a code outside the table.
template <typename Value, typename Code, size_t N>
Value ValueOf(const CodeTable<Value, Code, N>& table, Code code) {
  for (const auto& [value, known] : table) {
    if (known == code) return value;
  }
  return 0;
}

std::optional<tcflag_t> ParityFor(uint8_t parity) {
  switch (parity) {
    case SERIAL_PARITY_NONE: return tcflag_t{0};
    case SERIAL_PARITY_ODD: return tcflag_t{PARENB | PARODD};
    case SERIAL_PARITY_EVEN: return tcflag_t{PARENB};
    default: return std::nullopt;  // mark and space parity have no termios form
  }
}

std::optional<tcflag_t> StopBitsFor(uint8_t stop_bits) {
  switch (stop_bits) {
    case SERIAL_ONE_STOP_BIT: return tcflag_t{0};
    case SERIAL_TWO_STOP_BITS: return tcflag_t{CSTOPB};
    default: return std::nullopt;  // one and a half stop bits
  }
}

// The bits set or cleared in a flag word.
template <typename Flag>
Flag WithBits(Flag mode, Flag bits, bool on) {
  return static_cast<Flag>(on ? mode | bits : mode & ~bits);
}

// Milliseconds left until the deadline, rounded up so that a wait never ends early.
int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 0x7FFFFFFF));
}

Clock::time_point DeadlineAfter(uint64_t milliseconds) {
  return Clock::now() + std::chrono::milliseconds(milliseconds);
}

// poll for one event; 1 ready, 0 timed out, -1 failed or the line hung up.
int WaitFor(int fd, short event, int timeout_ms) {
  pollfd entry{fd, event, 0};
  int ready = 0;
  do {
    ready = poll(&entry, 1, timeout_ms);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return ready;
  return (entry.revents & event) != 0 ? 1 : -1;
}

bool IsTransient(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

// A failed read or write: the taps get what did cross, then the failure.
bool Failed(TraceDirection direction, std::span<const uint8_t> crossed) {
  const int error = errno;
  TapSerialBytes(direction, crossed);
  TapSerialFailed(direction);
  errno = error;
  return false;
}

}  // namespace

SerialHandle SerialOpen(int32_t port) {
  const std::string path = SerialDevicePath(port);
  if (path.empty()) {
    errno = ENOENT;
    return nullptr;
  }
  // Non-blocking so that opening does not wait for a carrier; reads and
  // writes wait with poll.
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    SerialNoteOpenError(port, errno);
    return nullptr;
  }
  termios mode{};
  // A COM port is held by one opener: the lock keeps out everyone who locks
  // too (root included), TIOCEXCL everyone else but root.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(fd, &mode) != 0) {
    SerialNoteOpenError(port, errno);
    close(fd);
    return nullptr;
  }
  SerialNoteOpenError(port, 0);
  ioctl(fd, TIOCEXCL);  // not every driver has it; the lock still holds
  const termios found = mode;
  cfmakeraw(&mode);
  mode.c_cflag |= CLOCAL | CREAD;
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &mode) != 0) {
    close(fd);
    return nullptr;
  }
  TapSerialOpened(port, path);
  return new SerialDevice{fd, port, found, CommSettings{}, CommTimeouts{}};
}

bool SerialGetState(SerialHandle device, CommSettings& settings) {
  termios mode{};
  if (device == nullptr || tcgetattr(device->fd, &mode) != 0) return false;
  settings = device->settings;
  settings.BaudRate = ValueOf(SPEEDS, cfgetospeed(&mode));
  settings.ByteSize = ValueOf(SIZES, tcflag_t{mode.c_cflag & CSIZE});
  settings.Parity = (mode.c_cflag & PARENB) == 0   ? SERIAL_PARITY_NONE
                    : (mode.c_cflag & PARODD) != 0 ? SERIAL_PARITY_ODD
                                                   : SERIAL_PARITY_EVEN;
  settings.StopBits = (mode.c_cflag & CSTOPB) != 0 ? SERIAL_TWO_STOP_BITS : SERIAL_ONE_STOP_BIT;
  settings.flags = WithBits(settings.flags, DCB_OUTX_CTS_FLOW, (mode.c_cflag & CRTSCTS) != 0);
  settings.flags = WithBits(settings.flags, DCB_OUTX, (mode.c_iflag & IXON) != 0);
  settings.flags = WithBits(settings.flags, DCB_INX, (mode.c_iflag & IXOFF) != 0);
  return true;
}

bool SerialSetState(SerialHandle device, const CommSettings& settings) {
  if (device == nullptr) return false;
  const std::optional<speed_t> speed = CodeOf(SPEEDS, settings.BaudRate);
  const std::optional<tcflag_t> size = CodeOf(SIZES, settings.ByteSize);
  const std::optional<tcflag_t> parity = ParityFor(settings.Parity);
  const std::optional<tcflag_t> stop_bits = StopBitsFor(settings.StopBits);
  termios mode{};
  if (!speed || !size || !parity || !stop_bits) {
    errno = EINVAL;
    return false;
  }
  if (tcgetattr(device->fd, &mode) != 0) return false;
  mode.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
  mode.c_cflag |= *size | *parity | *stop_bits | CLOCAL | CREAD;
  // DSR flow control has no termios form: CRTSCTS stands for the hardware handshake.
  mode.c_cflag =
      WithBits(mode.c_cflag, tcflag_t{CRTSCTS}, (settings.flags & DCB_OUTX_CTS_FLOW) != 0);
  mode.c_iflag = WithBits(mode.c_iflag, tcflag_t{IXON}, (settings.flags & DCB_OUTX) != 0);
  mode.c_iflag = WithBits(mode.c_iflag, tcflag_t{IXOFF}, (settings.flags & DCB_INX) != 0);
  if (cfsetispeed(&mode, *speed) != 0 || cfsetospeed(&mode, *speed) != 0) return false;
  if (tcsetattr(device->fd, TCSANOW, &mode) != 0) return false;
  device->settings = settings;
  TapSerialSpeed(settings.BaudRate);
  return true;
}

bool SerialGetTimeouts(SerialHandle device, CommTimeouts& timeouts) {
  if (device == nullptr) return false;
  timeouts = device->timeouts;
  return true;
}

bool SerialSetTimeouts(SerialHandle device, const CommTimeouts& timeouts) {
  if (device == nullptr) return false;
  device->timeouts = timeouts;
  return true;
}

bool SerialSetupQueues(SerialHandle device, uint32_t /*in_queue*/, uint32_t /*out_queue*/) {
  // The kernel's queues have a fixed size; on Win32 the sizes are only advice too.
  return device != nullptr;
}

// Like a synchronous ReadFile with total time-outs: fills the buffer or
// stops when the time is up; all totals 0 wait without limit.
bool SerialRead(SerialHandle device, std::span<uint8_t> buffer, uint32_t& received) {
  received = 0;
  if (device == nullptr) return false;
  const CommTimeouts& limits = device->timeouts;
  const bool at_once = limits.ReadIntervalTimeout == TIMEOUT_RETURN_AT_ONCE &&
                       limits.ReadTotalTimeoutMultiplier == 0 &&
                       limits.ReadTotalTimeoutConstant == 0;
  const bool interval =
      limits.ReadIntervalTimeout != 0 && limits.ReadIntervalTimeout != TIMEOUT_RETURN_AT_ONCE;
  const uint64_t total_ms =
      uint64_t{limits.ReadTotalTimeoutMultiplier} * buffer.size() + limits.ReadTotalTimeoutConstant;
  const Clock::time_point deadline = DeadlineAfter(total_ms);
  while (received < buffer.size()) {
    int wait_ms = at_once ? 0 : total_ms > 0 ? RemainingMs(deadline) : -1;
    if (interval && received > 0) {
      const int gap = static_cast<int>(std::min<uint32_t>(limits.ReadIntervalTimeout, 0x7FFFFFFF));
      wait_ms = wait_ms < 0 ? gap : std::min(wait_ms, gap);
    }
    const int ready = WaitFor(device->fd, POLLIN, wait_ms);
    if (ready < 0) return Failed(TraceDirection::FROM_DEVICE, buffer.first(received));
    if (ready == 0) break;
    const std::span<uint8_t> rest = buffer.subspan(received);
    const ssize_t count = read(device->fd, rest.data(), rest.size());
    if (count < 0 && IsTransient(errno)) continue;
    if (count <= 0) return Failed(TraceDirection::FROM_DEVICE, buffer.first(received));
    received += static_cast<uint32_t>(count);
  }
  TapSerialBytes(TraceDirection::FROM_DEVICE, buffer.first(received));
  SerialNoteHeard(device->port, received);
  return true;
}

// Like a synchronous WriteFile with total time-outs: `written` tells how much
// went out before the time was up.
bool SerialWrite(SerialHandle device, std::span<const uint8_t> data, uint32_t& written) {
  written = 0;
  if (device == nullptr) return false;
  const CommTimeouts& limits = device->timeouts;
  const uint64_t total_ms =
      uint64_t{limits.WriteTotalTimeoutMultiplier} * data.size() + limits.WriteTotalTimeoutConstant;
  const Clock::time_point deadline = DeadlineAfter(total_ms);
  while (written < data.size()) {
    const std::span<const uint8_t> rest = data.subspan(written);
    const ssize_t count = write(device->fd, rest.data(), rest.size());
    if (count > 0) {
      written += static_cast<uint32_t>(count);
      continue;
    }
    if (count < 0 && !IsTransient(errno)) {
      return Failed(TraceDirection::TO_DEVICE, data.first(written));
    }
    const int ready = WaitFor(device->fd, POLLOUT, total_ms > 0 ? RemainingMs(deadline) : -1);
    if (ready < 0) return Failed(TraceDirection::TO_DEVICE, data.first(written));
    if (ready == 0) break;
  }
  TapSerialBytes(TraceDirection::TO_DEVICE, data.first(written));
  return true;
}

bool SerialFlush(SerialHandle device) { return device != nullptr && tcdrain(device->fd) == 0; }

bool SerialClose(SerialHandle device) {
  if (device == nullptr) return false;
  tcsetattr(device->fd, TCSANOW, &device->found);
  ioctl(device->fd, TIOCNXCL);
  const bool closed = close(device->fd) == 0;
  delete device;
  TapSerialClosed();
  return closed;
}

}  // namespace pelox
