#pragma once
// Faults the camera commits on purpose, scripted by request or frame number
// ("the 3rd write frame", "the get of property 18") or drawn from a seeded
// generator.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelox::sim {

enum class FaultKind : uint8_t {
  NAK,             // answer NAK instead of taking the unit
  REFUSE,          // answer 0x11 instead of taking the unit
  GARBAGE,         // answer a byte that means nothing instead of taking the unit
  DROP_REPLY,      // take the unit, send no reply (a read frame: not sent)
  PARTIAL_REPLY,   // send only the first half of the reply packet
  WRONG_CHECKSUM,  // reply packet with a checksum one off
  WRONG_SEQUENCE,  // reply data frame with a sequence number one ahead
  CAMERA_GONE,     // send 0xFF instead and start afresh, as after a power cycle;
                   // with `argument_ms`: take the unit, leave that much later,
                   // and lose the action under way (a flash writes nothing)
  PORT_FAILURE,    // the host's port calls fail (for `argument_ms`, 0: for good)
  NEVER_READY,     // property 18 stays 0 and no action ever ends
  UNPLUG,          // the camera is gone for good: no answers at all
  DELAY,           // the reply leaves `argument_ms` later
  STRAY_ACKS,      // `argument_ms` ACKs (at least one) go out just before the reply
  NAK_ACK,         // NAK, then ACK, go out just before the reply
  SWAP,            // leave as CAMERA_GONE does; another camera answers on the path from then on
  END_ERROR,       // take the action, then end it with 0x11 instead of 0x05, doing nothing
  MUTE,            // take the unit, then neither hear nor answer for `argument_ms`
  SCSI_REFUSAL,    // the storage device answers every command with CHECK CONDITION
                   // (for `argument_ms`, 0: for good); nothing on a serial line
  REWRITE,         // at the write command: write without a word, deaf for `argument_ms`,
                   // and write afresh, silent anew, on every later write command
};

// What a fault is aimed at: a kind of host unit the camera answers, or the
// camera's own data frames of a read.
enum class FaultTarget : uint8_t {
  ANY,    // every unit below
  PROBE,  // the handshake probe
  SPEED,  // the speed request
  SET,
  GET,
  ACTION,
  READ,         // a read request
  WRITE_FRAME,  // every frame of a write, the command frame first
  READ_FRAME,   // each data frame the camera sends for a read
  ACK,          // the host's ACK of a read frame
};

struct FaultRule {
  FaultKind kind = FaultKind::NAK;
  FaultTarget target = FaultTarget::ANY;
  int32_t id = -1;          // property id, action code or data kind; -1 any
  uint32_t occurrence = 1;  // the n-th matching unit, counted from 1
  uint32_t times = 1;       // and this many matching units in a row
  uint32_t argument_ms = 0;
};

class FaultPlan {
 public:
  void Add(const FaultRule& rule);
  // Every unit gets a recoverable fault with probability per_mille / 1000.
  void SetRandom(uint64_t seed, uint32_t per_mille);
  void Clear();

  // Counts the unit against every rule and returns the fault it triggers.
  std::optional<FaultRule> Next(FaultTarget target, int32_t id);

 private:
  struct Scripted {
    FaultRule rule;
    uint32_t seen = 0;
  };
  std::optional<FaultRule> Draw(FaultTarget target);

  std::vector<Scripted> rules_;
  uint64_t random_state_ = 0;
  uint32_t per_mille_ = 0;
};

// Reads a rule written as KIND[=MS][@TARGET[:ID]][#N][*TIMES], e.g.
// "nak@write-frame#3*2", "gone@read-frame#5", "drop@get:18", "delay=300@set".
std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string& error);

}  // namespace pelox::sim
