#pragma once
// A pseudo-terminal pair (POSIX systems): a program that plays a serial
// device keeps the master, and the host opens the slave path as its port.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace pelox {

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Creates the pair in raw mode; false with `error` set on failure.
  bool Open(std::string& error);
  const std::string& SlavePath() const { return slave_path_; }

  // The line speed the host set on its side, in bit/s (0 if unknown).
  uint32_t HostBaud() const;
  // Waits up to `timeout_ms` (negative: no limit) for bytes from the host
  // and reads them; 0 bytes on time-out or interruption, nothing on error.
  std::optional<size_t> Read(std::span<uint8_t> buffer, int32_t timeout_ms);
  // Writes what the host's side takes within `timeout_ms` of waiting: the
  // count written, short on time-out or interruption, nothing on error.
  std::optional<size_t> Write(std::span<const uint8_t> bytes, int32_t timeout_ms);

 private:
  int master_ = -1;
  // Held open so that the master stays usable while no host has the slave open.
  int slave_ = -1;
  std::string slave_path_;
};

}  // namespace pelox
