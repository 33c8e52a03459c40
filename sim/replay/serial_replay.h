#pragma once
// The camera's side of a serial recording, played back: each reply goes out
// once the host has sent everything the recorded host had sent before it,
// at the recorded speed. The host's bytes are checked against the recorded
// ones as they come; the first that differs stops the replay.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/replay/byte_rules.h"
#include "sim/replay/recording.h"

namespace pelox::sim {

class SerialReplay {
 public:
  // Plays the port that carried the camera's side (the one that received
  // the most bytes).
  SerialReplay(const Recording& recording, ReplayTolerance tolerance);

  // False once the host's bytes differ from the recording.
  bool Receive(std::span<const uint8_t> got);
  // The next reply, when it is due and the host is at its speed (0: unknown).
  std::optional<std::vector<uint8_t>> TakeReady(uint32_t host_baud);
  // A reply is due but waits for the host to change its speed.
  bool WaitingForSpeed(uint32_t host_baud) const;
  // The recorded line failed here: the camera hangs up.
  bool HangUpDue() const;
  // Every recorded host byte arrived and every reply went out.
  bool Complete() const;

  const std::string& Divergence() const { return divergence_; }
  // What the host did not send, for a replay that ended short.
  std::string Shortfall() const;
  size_t HostBytes() const { return received_; }
  size_t CameraBytes() const { return sent_; }

 private:
  struct Reply {
    size_t after = 0;   // host bytes before it
    uint32_t baud = 0;  // 0: before any speed was set
    std::vector<uint8_t> bytes;
  };
  struct Unit {
    size_t start = 0;
    size_t line = 0;
  };

  bool ReplyDue() const;
  size_t LineAt(size_t offset) const;

  std::vector<uint8_t> expected_;
  std::vector<ByteRule> rules_;
  std::vector<Unit> units_;
  std::vector<Reply> replies_;
  std::optional<size_t> hang_up_at_;
  ByteMatcher matcher_;
  size_t received_ = 0;
  size_t next_reply_ = 0;
  size_t sent_ = 0;
  std::string divergence_;
};

}  // namespace pelox::sim
