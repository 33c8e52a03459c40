#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/pseudo_terminal.h"

namespace pelox {
namespace {

constexpr std::array<std::pair<speed_t, uint32_t>, 9> SPEEDS = {{
    {B1200, 1200},
    {B2400, 2400},
    {B4800, 4800},
    {B9600, 9600},
    {B19200, 19200},
    {B38400, 38400},
    {B57600, 57600},
    {B115200, 115200},
    {B230400, 230400},
}};

std::string SystemError(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
}

bool PseudoTerminal::Open(std::string& error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) {
    error = SystemError("posix_openpt");
    return false;
  }
  // Non-blocking, so that a host that reads nothing cannot hold a write
  // past its time-out, nor past a signal.
  const int flags = fcntl(master_, F_GETFL);
  if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
    error = SystemError("fcntl");
    return false;
  }
  std::array<char, 128> name{};
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name.data(), name.size()) != 0) {
    error = SystemError("pseudo-terminal set-up");
    return false;
  }
  slave_path_ = name.data();
  slave_ = open(slave_path_.c_str(), O_RDWR | O_NOCTTY);
  if (slave_ < 0) {
    error = SystemError("open slave");
    return false;
  }
  // Raw from the start: an echoing line would hand camsim its own answers.
  termios settings{};
  if (tcgetattr(slave_, &settings) != 0) {
    error = SystemError("tcgetattr");
    return false;
  }
  cfmakeraw(&settings);
  cfsetspeed(&settings, B19200);
  if (tcsetattr(slave_, TCSANOW, &settings) != 0) {
    error = SystemError("tcsetattr");
    return false;
  }
  return true;
}

uint32_t PseudoTerminal::HostBaud() const {
  termios settings{};
  if (tcgetattr(master_, &settings) != 0) return 0;
  const speed_t speed = cfgetospeed(&settings);
  for (const auto& [code, baud] : SPEEDS) {
    if (code == speed) return baud;
  }
  return 0;
}

std::optional<size_t> PseudoTerminal::Read(std::span<uint8_t> buffer, int32_t timeout_ms) {
  pollfd watch{master_, POLLIN, 0};
  const int ready = poll(&watch, 1, timeout_ms);
  if (ready < 0) return errno == EINTR ? std::optional<size_t>(0) : std::nullopt;
  if (ready == 0) return 0;
  const ssize_t count = read(master_, buffer.data(), buffer.size());
  if (count < 0) return errno == EINTR || errno == EAGAIN ? std::optional<size_t>(0) : std::nullopt;
  return static_cast<size_t>(count);
}

std::optional<size_t> PseudoTerminal::Write(std::span<const uint8_t> bytes, int32_t timeout_ms) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = write(master_, bytes.data() + done, bytes.size() - done);
    if (count >= 0) {
      done += static_cast<size_t>(count);
      continue;
    }
    if (errno == EINTR) return done;
    if (errno != EAGAIN) return std::nullopt;
    pollfd watch{master_, POLLOUT, 0};
    const int ready = poll(&watch, 1, timeout_ms);
    if (ready < 0 && errno != EINTR) return std::nullopt;
    if (ready <= 0) return done;
  }
  return done;
}

}  // namespace pelox
