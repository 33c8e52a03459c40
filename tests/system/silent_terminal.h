#pragma once
// A pseudo-terminal with nobody behind it, as a serial port where nothing
// answers; optionally locked by this process as another program would.
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <string>

namespace pelox {

struct SilentTerminal {
  explicit SilentTerminal(bool lock) : locked(lock) {
    std::array<char, 128> name{};
    if (openpty(&controller, &device, name.data(), nullptr, nullptr) == 0) path = name.data();
    if (locked) flock(device, LOCK_EX | LOCK_NB);
  }
  ~SilentTerminal() {
    close(device);
    close(controller);
  }
  SilentTerminal(const SilentTerminal&) = delete;
  SilentTerminal& operator=(const SilentTerminal&) = delete;

  // Whether any byte was written to the terminal.
  bool Heard() const {
    pollfd waiting{controller, POLLIN, 0};
    return poll(&waiting, 1, 0) == 1 && (waiting.revents & POLLIN) != 0;
  }

  bool locked;
  int controller = -1;
  int device = -1;
  std::string path;
};

}  // namespace pelox
